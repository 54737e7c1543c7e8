/* The C interface, compiled as C and linked against the shared library. */
#include <chkimport/chkimport.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expect(int condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
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

  chkimport_destroy(imp);
  printf("%d passed, %d failed\n", failures ? 0 : 1, failures ? 1 : 0);
  return failures ? 1 : 0;
}
