// Finding an INCLUDE file on Linux: current folder first, then the CHK
// file's folder; "\" between folders; names matched without regard to case.
#include "translate/include_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

using testing_support::InFolder;

void touch(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "X = 1\r\n";
}

TEST(IncludePaths, FindsTheFileAnIncludeLineMeans) {
  TempDir root, cwd;
  const std::string chk = root.file("chk") + "/";
  touch(chk + "common.chk");
  touch(chk + "Sub/Inner.CHK");
  fs::create_directories(chk + "folder.chk");
  touch(chk + "EXACT.CHK");
  touch(chk + "exact.chk");
  touch(chk + "local.chk");
  touch(chk + "odd\\name.chk");
  touch(root.file("other/Common.chk"));
  touch(cwd.file("local.chk"));
  touch(cwd.file("Here/Local2.chk"));
  InFolder in(cwd.path());

  struct Case {
    const char* what;
    std::string name, folder, expected;
  };
  const std::vector<Case> cases = {
      {"no name", "", chk, ""},
      {"exact name in the CHK folder", "common.chk", chk, chk + "common.chk"},
      {"upper-cased name", "COMMON.CHK", chk, chk + "common.chk"},
      {"backslash between folders", "SUB\\INNER.CHK", chk, chk + "Sub/Inner.CHK"},
      {"slash between folders", "sub/inner.chk", chk, chk + "Sub/Inner.CHK"},
      {"parent folder", "..\\OTHER\\COMMON.CHK", chk, chk + "../other/Common.chk"},
      {"a folder is not a file", "FOLDER.CHK", chk, ""},
      {"a folder named alone", "SUB", chk, ""},
      {"a name ending in a separator", "SUB\\", chk, ""},
      {"missing file", "MISSING.CHK", chk, ""},
      {"missing folder", "NOPE\\COMMON.CHK", chk, ""},
      {"the current folder comes first", "LOCAL.CHK", chk, "local.chk"},
      {"a folder below the current one", "HERE\\LOCAL2.CHK", chk, "Here/Local2.chk"},
      {"without a CHK folder only the current one", "COMMON.CHK", "", ""},
      {"without a CHK folder, found in the current one", "LOCAL.CHK", "", "local.chk"},
      {"the exact spelling wins (lower)", "exact.chk", chk, chk + "exact.chk"},
      {"the exact spelling wins (upper)", "EXACT.CHK", chk, chk + "EXACT.CHK"},
      {"several case matches: the first in byte order", "Exact.Chk", chk, chk + "EXACT.CHK"},
      {"a name with a backslash that exists as written", "odd\\name.chk", chk, chk + "odd\\name.chk"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(chkimport::FindIncludeFile(c.name, c.folder).path, c.expected) << c.what;
}

}  // namespace
