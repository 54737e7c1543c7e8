/* The C interface, compiled as C and linked against the shared library. */
#include <chkimport/chkimport.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int failures = 0;

/* Whether a call's result holds `part` (NULL: the call failed); frees it. */
static void expect(char* result, const char* part, const char* what) {
  if (part ? !result || !strstr(result, part) : result != NULL) {
    fprintf(stderr, "FAILED: %s: %s\n", what, result ? result : "(failed)");
    ++failures;
  }
  chkimport_free_string(result);
}

static void put(const char* path, const char* text) {
  FILE* out = fopen(path, "wb");
  if (out) {
    fputs(text, out);
    fclose(out);
  }
}

int main(void) {
  if (chkimport_create("Other.Class") != NULL) expect(NULL, "", "an unknown ProgID gives no object");
  chkimport_object* imp = chkimport_create("Quorvant.clsCHKImport");
  if (!imp) return 1;

  /* Without a translator the component cannot say anything: the call fails. */
  expect(chkimport_get_chk_code(imp, "x.chk", "x.db", "", 0, 0, 0, 0), NULL, "a call without translator");
  if (!strstr(chkimport_last_error(imp), "error 91")) expect(NULL, "", "the failure is explained");
  if (chkimport_set_language(imp, "English", "/nonexistent") != 0) expect(NULL, "", "English needs no catalog");
  expect(chkimport_get_chk_code(imp, "/no/x.chk", "/no/x.db", "viewX", 0, 0, 0, 0), "MDB file not found.",
         "missing database");
  if (strcmp(chkimport_last_error(imp), "") != 0) expect(NULL, "", "no error after a call that returned");

  char folder[] = "/tmp/chkimport-c-XXXXXX", rec[96], db[96], chk[96];
  if (!mkdtemp(folder)) return 1;
  snprintf(rec, sizeof rec, "%s/form.rec", folder);
  snprintf(db, sizeof db, "%s/form.db", folder);
  snprintf(chk, sizeof chk, "%s/form.chk", folder);
  put(rec, "1 1\r\n#age          1   1  30  33   1   0   2 112  Age in years\r\n42!\r\n 7?\r\n");
  put(chk, "AGE\r\n  MUSTENTER\r\nEND\r\nWEIGHT\r\nEND\r\n");
  expect(chkimport_new_view(imp, rec, db, NULL, NULL), "", "newview makes viewform");
  expect(chkimport_new_view(imp, rec, db, NULL, NULL), "exists already: viewform", "a second viewform");
  expect(chkimport_convert(imp, rec, NULL, db, "viewOther", 0, 0), "", "convert without a CHK file");
  expect(chkimport_convert_with_data(imp, rec, NULL, db, "viewThird", "Other", 0, 0, CHKIMPORT_SKIP_DELETED),
         "exists already: Other", "a data table's name taken");

  /* A preview tells what the import would write, as JSON. */
  expect(chkimport_preview_chk_code(imp, chk, db, "viewform", 0, 0, 0),
         "\"column\":\"Lists\",\"new\":\"M\",\"old\":\"\",\"row\":\"age\"", "the preview names the new letter");
  expect(chkimport_preview_chk_code(imp, chk, db, "viewNone", 0, 1, 0), "\"result\":\"Table Not In MDB\"",
         "a preview's message");

  /* Confining INCLUDE needs a folder that is there. */
  if (chkimport_set_include_within(imp, "/nonexistent") != -1 || chkimport_set_include_within(imp, folder) != 0)
    expect(NULL, "", "confining INCLUDE needs a folder");

  remove(chk);
  remove(db);
  remove(rec);
  rmdir(folder);
  chkimport_destroy(imp);
  printf("%d passed, %d failed\n", failures ? 0 : 1, failures ? 1 : 0);
  return failures ? 1 : 0;
}
