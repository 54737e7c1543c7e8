/* The C interface, compiled as C and linked against the shared library. */
#include <chkimport/chkimport.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int failures = 0;

static void expect(int condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

/* The file's bytes, at most size of them; 0 when it cannot be read. */
static size_t readFile(const char* path, char* buffer, size_t size) {
  FILE* in = fopen(path, "rb");
  if (!in) return 0;
  size_t n = fread(buffer, 1, size, in);
  fclose(in);
  return n;
}

int main(void) {
  expect(chkimport_create("Other.Class") == NULL, "an unknown ProgID gives no object");

  chkimport_object* imp = chkimport_create("Quorvant.clsCHKImport");
  expect(imp != NULL, "the ProgID creates an object");
  if (!imp) return 1;

  /* Without a translator the component cannot say anything: the call fails. */
  char* result = chkimport_get_chk_code(imp, "x.chk", "x.db", "", 0, 0, 0, 0);
  expect(result == NULL, "a call without translator fails");
  expect(strstr(chkimport_last_error(imp), "error 91") != NULL, "the failure is explained");

  expect(chkimport_set_language(imp, "English", "/nonexistent") == 0,
         "an English translator needs no catalog");
  result = chkimport_get_chk_code(imp, "x.chk", "x.db", "", 0, 0, 0, 0);
  expect(result != NULL && strcmp(result, "No Table Name Supplied") == 0, "no table name");
  chkimport_free_string(result);

  result = chkimport_get_chk_code(imp, "/nonexistent/x.chk", "/nonexistent/x.db", "viewX", 0, 0, 0, 0);
  expect(result != NULL && strcmp(result, "MDB file not found.") == 0, "missing database");
  expect(strcmp(chkimport_last_error(imp), "") == 0, "no error after a call that returned");
  chkimport_free_string(result);

  /* A view from a data file's header, then the same name again. */
  char folder[] = "/tmp/chkimport-c-XXXXXX";
  expect(mkdtemp(folder) != NULL, "a folder for the form");
  char rec[96], db[96];
  snprintf(rec, sizeof rec, "%s/form.rec", folder);
  snprintf(db, sizeof db, "%s/form.db", folder);
  FILE* out = fopen(rec, "wb");
  if (out) {
    fputs("1 1\r\n#age          1   1  30  33   1   0   2 112  Age in years\r\n42!\r\n 7?\r\n", out);
    fclose(out);
  }
  result = chkimport_new_view(imp, rec, db, NULL, NULL);
  expect(result != NULL && strcmp(result, "") == 0, "newview makes viewform");
  chkimport_free_string(result);
  result = chkimport_new_view(imp, rec, db, NULL, NULL);
  expect(result != NULL && strstr(result, "exists already: viewform") != NULL,
         "a second viewform is refused");
  chkimport_free_string(result);
  result = chkimport_convert(imp, rec, NULL, db, "viewOther", 0, 0);
  expect(result != NULL && strcmp(result, "") == 0, "convert without a CHK file makes the view and the records");
  chkimport_free_string(result);
  result = chkimport_convert_with_data(imp, rec, NULL, db, "viewThird", "Other", 0, 0, CHKIMPORT_SKIP_DELETED);
  expect(result != NULL && strstr(result, "exists already: Other") != NULL, "a data table's name taken is refused");
  chkimport_free_string(result);

  /* A preview tells what the import would write and leaves the file as it was. */
  char chk[96];
  snprintf(chk, sizeof chk, "%s/form.chk", folder);
  out = fopen(chk, "wb");
  if (out) {
    fputs("AGE\r\n  MUSTENTER\r\nEND\r\nWEIGHT\r\nEND\r\n", out);
    fclose(out);
  }
  static char before[65536], after[65536];
  size_t beforeSize = readFile(db, before, sizeof before);
  result = chkimport_preview_chk_code(imp, chk, db, "viewform", 0, 0, 0);
  expect(result != NULL, "a preview");
  expect(result && strstr(result, "\"result\":\"\"") != NULL, "the preview ran");
  expect(result && strstr(result, "\"unmatched\":[\"WEIGHT\"]") != NULL, "the listing pass ran first");
  expect(result && strstr(result, "\"column\":\"Lists\",\"new\":\"M\",\"old\":\"\",\"row\":\"age\"") != NULL,
         "the preview names the new letter");
  chkimport_free_string(result);
  expect(beforeSize > 0 && readFile(db, after, sizeof after) == beforeSize && memcmp(before, after, beforeSize) == 0,
         "the preview leaves the database file as it was");
  result = chkimport_preview_chk_code(imp, chk, db, "viewNone", 0, 1, 0);
  expect(result && strstr(result, "\"result\":\"Table Not In MDB\"") != NULL, "a preview's message");
  chkimport_free_string(result);

  /* INCLUDE confined to the form's folder reads nothing from elsewhere. */
  expect(chkimport_set_include_within(imp, "/nonexistent") == -1, "confining INCLUDE needs a folder");
  expect(chkimport_set_include_within(imp, folder) == 0, "INCLUDE confined to the form's folder");
  out = fopen(chk, "wb");
  if (out) {
    fputs("AGE\r\n  INCLUDE /PROC/SELF/ENVIRON\r\nEND\r\n", out);
    fclose(out);
  }
  result = chkimport_preview_chk_code(imp, chk, db, "viewform", 0, 1, 0);
  expect(result && strstr(result, "CHECK file not found.") != NULL, "an INCLUDE from outside is not read");
  chkimport_free_string(result);

  remove(chk);
  remove(db);
  remove(rec);
  rmdir(folder);

  chkimport_destroy(imp);
  printf("%d passed, %d failed\n", failures ? 0 : 1, failures ? 1 : 0);
  return failures ? 1 : 0;
}
