// Arbitrary bytes as one CHK line, split into words against a small view.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "chkimport/identity_translator.h"
#include "chkimport/vb_error.h"
#include "core/import_state.h"
#include "dialogs/form1.h"
#include "dialogs/forms.h"
#include "fuzz_support.h"
#include "services/dao.h"
#include "translate/extract_words.h"

using namespace chkimport;

namespace {

struct View {
  View() {
    db = dao::DBEngine::Workspaces(0).OpenDatabase(fuzzing::FreshViewDatabase());
    rs = db->OpenRecordset("Select * from viewForm where Pagenumber >= 0");
  }
  std::unique_ptr<dao::Database> db;
  std::unique_ptr<dao::Recordset> rs;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static View view;
  static IdentityTranslator english;
  std::ostringstream log;
  ImportState st;
  st.host.errorLog = &log;
  st.objErrorStack = Instance<Form1>(st).Mishtrak1;
  st.objLanguage = &english;
  st.blnTrapErrors = true;

  std::string line(reinterpret_cast<const char*>(data), size);
  std::string rest;
  view.rs->MoveFirst();
  try {
    ExtractWords(st, *view.rs, line, rest);
  } catch (const VbError&) {
    // A reported error is a result, not a fault.
  }
  return 0;
}
