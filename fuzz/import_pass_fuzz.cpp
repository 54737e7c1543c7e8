// Arbitrary bytes as a CHK file through a whole writing pass, code tables
// on, against a fresh view database. The bytes after the first two NULs
// are the include file inc.chk, which the CHK text may name.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "chkimport/cls_chk_import.h"
#include "chkimport/identity_translator.h"
#include "core/import_state.h"
#include "fuzz_support.h"

using namespace chkimport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t split = bytes.find(std::string_view("\0\0", 2));
  const std::string_view chk = bytes.substr(0, split);
  const std::string_view inc = split == std::string_view::npos ? std::string_view() : bytes.substr(split + 2);

  const std::string chkPath = fuzzing::Write("form.chk", chk.data(), chk.size());
  fuzzing::Write("inc.chk", inc.data(), inc.size());
  const std::string db = fuzzing::FreshViewDatabase();

  static IdentityTranslator english;
  std::ostringstream log;
  auto module = std::make_shared<ImportState>();
  module->host.errorLog = &log;
  module->host.settings = Settings(fuzzing::Folder() / "settings.ini");
  clsCHKImport component(module);
  component.SetObjLanguage(english);
  component.GetCHKCode(chkPath, db, "viewForm", false, false, true, true);
  return 0;
}
