/* A host of the installed library, built with pkg-config: makes a view from
 * a data file's header and imports a CHK file into it, then asks for a
 * message in Spanish from the installed catalogs.
 *
 *   use_library REC CHK DB */
#include <chkimport/chkimport.h>
#include <stdio.h>

static void show(chkimport_object* imp, const char* what, char* result) {
  printf("%s: %s\n", what, result ? result : chkimport_last_error(imp));
  chkimport_free_string(result);
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: use_library REC CHK DB\n");
    return 2;
  }
  chkimport_object* imp = chkimport_create("Quorvant.clsCHKImport");
  if (!imp || chkimport_set_language(imp, "English", NULL) != 0) return 1;
  show(imp, "new view", chkimport_new_view(imp, argv[1], argv[3], NULL, NULL));
  show(imp, "import", chkimport_get_chk_code(imp, argv[2], argv[3], "viewform", 0, 0, 1, 0));
  if (chkimport_set_language(imp, "Spanish", NULL) != 0) return 1;
  show(imp, "no table", chkimport_get_chk_code(imp, argv[2], argv[3], "", 0, 0, 1, 0));
  chkimport_destroy(imp);
  return 0;
}
