/* chkimport: the C interface, for hosts written in other languages.
 *
 *   chkimport_object* imp = chkimport_create("Quorvant.clsCHKImport");
 *   chkimport_set_language(imp, NULL, NULL);
 *   char* result = chkimport_get_chk_code(imp, "form.chk", "form.db", "viewForm", 0, 0, 1, 0);
 *   if (result == NULL) puts(chkimport_last_error(imp));
 *   else if (*result) puts(result);           // a message: the import did not run
 *   chkimport_free_string(result);
 *   chkimport_destroy(imp);
 *
 * Strings are UTF-8. Each object has an import state of its own; an object
 * is used from one thread at a time.
 */
#ifndef CHKIMPORT_CHKIMPORT_H
#define CHKIMPORT_CHKIMPORT_H

#include "chkimport/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct chkimport_object chkimport_object;

/* A new component for the ProgID "Quorvant.clsCHKImport"; NULL for any other. */
CHKIMPORT_API chkimport_object* chkimport_create(const char* prog_id);

/* Hands the component a translator that reads PO catalogs from languages_dir
 * (NULL: the catalogs installed with the library). language (NULL: the user's setting) names
 * the catalog, for example "Spanish". Returns 0, or -1 with the reason in
 * chkimport_last_error. */
CHKIMPORT_API int chkimport_set_language(chkimport_object* object, const char* language,
                                         const char* languages_dir);

/* For CHK files from others: INCLUDE reads only files whose real path lies
 * under folder (links and ".." resolved); an INCLUDE of any other file is
 * written as one of a file not found, with a warning on standard error.
 * Holds for the imports, previews and conversions of this object; NULL or
 * "" lifts it. Returns 0, or -1 when folder is not a folder. */
CHKIMPORT_API int chkimport_set_include_within(chkimport_object* object, const char* folder);

/* Runs GetCHKCode. Flags are 0 for false and anything else for true.
 * Returns the result text ("" for success), to be freed with
 * chkimport_free_string, or NULL when the call failed (see
 * chkimport_last_error). */
CHKIMPORT_API char* chkimport_get_chk_code(chkimport_object* object, const char* chk_name,
                                           const char* db_name, const char* table_name, int show_gui,
                                           int overwrite, int ignore_new, int generate_tables);

/* What chkimport_get_chk_code with these arguments would change, as JSON:
 * {"result": "", "unmatched": [...], "changes": [{"view": ..., "row": ...,
 * "column": "Checkcode" or "Lists", "old": ... (null for a row the import
 * would add), "new": ...}, ...], "new_tables": [...]}. The import runs in
 * transactions that are rolled back: the database is left as it was. With
 * ignore_new 0 the listing pass runs first and fills "unmatched". Returns
 * the JSON text, to be freed with chkimport_free_string, or NULL when the
 * call failed. */
CHKIMPORT_API char* chkimport_preview_chk_code(chkimport_object* object, const char* chk_name,
                                               const char* db_name, const char* table_name, int overwrite,
                                               int ignore_new, int generate_tables);

/* Creates the view table of a Vantrel 6 data file's header (rec_name) in
 * db_name, created when missing. table_name NULL: "view" + the file's base
 * name; encoding NULL: detected. Returns "" or a message (nothing was
 * changed), to be freed with chkimport_free_string; NULL when the call failed. */
CHKIMPORT_API char* chkimport_new_view(chkimport_object* object, const char* rec_name, const char* db_name,
                                       const char* table_name, const char* encoding);

/* Converts a form: the view as chkimport_new_view makes it, then the import
 * of chk_name (NULL: the .CHK file of the same base name beside rec_name;
 * without one the form is converted without check code) into it, then the
 * data records of rec_name into a data table named as the view without
 * "view"; all of it, or nothing. Returns as chkimport_new_view. */
CHKIMPORT_API char* chkimport_convert(chkimport_object* object, const char* rec_name, const char* chk_name,
                                      const char* db_name, const char* table_name, int overwrite,
                                      int generate_tables);

/* chkimport_convert with the data records' options: data_table names the
 * data table (NULL: the view's name without "view"); data_flags are any of
 * these, or 0. */
#define CHKIMPORT_NO_DATA 1      /* leave the records out */
#define CHKIMPORT_SKIP_DELETED 2 /* leave out the records marked deleted */
#define CHKIMPORT_LENIENT 4      /* keep the records that read, leave out the damaged ones */
CHKIMPORT_API char* chkimport_convert_with_data(chkimport_object* object, const char* rec_name,
                                                const char* chk_name, const char* db_name,
                                                const char* table_name, const char* data_table, int overwrite,
                                                int generate_tables, int data_flags);

/* Why the last call on this object failed; "" after a success. */
CHKIMPORT_API const char* chkimport_last_error(const chkimport_object* object);

CHKIMPORT_API void chkimport_free_string(char* text);
CHKIMPORT_API void chkimport_destroy(chkimport_object* object);

#ifdef __cplusplus
}
#endif

#endif
