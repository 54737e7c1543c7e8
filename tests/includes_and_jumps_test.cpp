// INCLUDE lines and JUMPS blocks: finding an include file on Linux (current
// folder first, then the CHK file's folder; "\" between folders; names
// matched without regard to case), and whole passes: what the included code
// and the jumps become in the field's check code, and how a pass copes with
// missing, empty and endlessly nested include files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <utility>

#include "import_harness.h"
#include "translate/include_paths.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using V = std::vector<std::string>;
using Files = std::vector<std::pair<std::string, std::string>>;

// Include files are looked up in the current folder first: every pass runs
// in an empty one unless a test puts files there.
class IncludesAndJumps : public ::testing::Test {
 protected:
  TempDir cwd;
  InFolder in{cwd.path()};
};

void writeFiles(const TempDir& dir, const Files& files) {
  for (const auto& [name, text] : files) {
    fs::create_directories((dir.path() / name).parent_path());
    dir.write(name, text);
  }
}

// `%D%` in an expected text stands for the folder of the CHK file.
std::string inFolder(std::string text, const TempDir& dir) {
  const std::string folder = dir.path().string();
  for (auto at = text.find("%D%"); at != std::string::npos; at = text.find("%D%", at + folder.size()))
    text.replace(at, 3, folder);
  return text;
}

ImportRun viewWithFields() {
  std::vector<ViewRow> rows;
  for (const char* name : {"Age", "Sex", "Sex2", "Status", "Name"})
    rows.push_back({.Name = name, .Checkcode = ""});
  return ImportRun(rows);
}

TEST_F(IncludesAndJumps, IncludedCodeInAFieldBlock) {
  const std::string commonBegins = R"(*INCLUDE COMMON.CHK \/ \/ \/ Included checkcode begins here \/ \/ \/)";
  // The end marker names the file as the INCLUDE line does (upper-cased), after the CHK file's folder
  // when it was found there, whatever its name on disk.
  const std::string commonEnds = R"(*/\ /\ /\ End of checkcode included from file: %D%/COMMON.CHK /\ /\ /\)";
  const std::string innerBegins = R"(*INCLUDE inner.chk \/ \/ \/ Included checkcode begins here \/ \/ \/)";
  const std::string innerEnds = R"(*/\ /\ /\ End of checkcode included from file: %D%/INNER.CHK /\ /\ /\)";
  const struct {
    Files files;  // beside the CHK file
    V chk;
    std::string expected;  // AGE's Checkcode after a writing pass
  } cases[] = {
      // Found in the CHK file's folder under its upper-cased name; reading goes on after the INCLUDE line.
      {{{"common.chk", "X = 1\r\nGOTO SEX\r\n"}},
       {"AGE", "INCLUDE COMMON.CHK", "Y = 2", "END"},
       stored({commonBegins, "ASSIGN X = 1", "GOTO SEX", commonEnds, "ASSIGN Y = 2"})},
      // Nested includes unwind one level per file, or together.
      {{{"common.chk", "X = 1\r\nINCLUDE inner.chk\r\nX = 3\r\n"}, {"inner.chk", "GOTO SEX\r\n"}},
       {"AGE", "INCLUDE COMMON.CHK", "Y = 2", "END"},
       stored({commonBegins, "ASSIGN X = 1", innerBegins, "GOTO SEX", innerEnds, "ASSIGN X = 3", commonEnds,
               "ASSIGN Y = 2"})},
      {{{"common.chk", "INCLUDE inner.chk"}, {"inner.chk", "GOTO SEX"}},
       {"AGE", "INCLUDE COMMON.CHK", "Y = 2", "END"},
       stored({commonBegins, innerBegins, "GOTO SEX", innerEnds, commonEnds, "ASSIGN Y = 2"})},
      {{{"empty.chk", ""}},
       {"AGE", "INCLUDE EMPTY.CHK", "Y = 2", "END"},
       stored({"*Include file could not be imported. \r\n*CHECK file is empty.", "ASSIGN Y = 2"})},
      {{},
       {"AGE", "INCLUDE MISSING.CHK", "Y = 2", "END"},
       stored({"*INCLUDE MISSING.CHK CHECK file not found. \r\n*Include file could not be imported.",
               "ASSIGN Y = 2"})},
      // INCLUDE outside a field block: translated, no comment.
      {{{"common.chk", "AGE\r\nX = 1\r\nEND\r\n"}}, {"INCLUDE common.chk"}, stored({"ASSIGN X = 1"})},
      // A backslash between folders, names that differ in case.
      {{{"Sub/Common.Chk", "X = 1"}},
       {"AGE", R"(INCLUDE SUB\COMMON.CHK)", "END"},
       stored({R"(*INCLUDE SUB\COMMON.CHK \/ \/ \/ Included checkcode begins here \/ \/ \/)", "ASSIGN X = 1",
               R"(*/\ /\ /\ End of checkcode included from file: %D%/SUB\COMMON.CHK /\ /\ /\)"})},
      // The markers go to the section open at the time.
      {{{"common.chk", "X = 1"}},
       {"AGE", "BEFORE ENTRY", "INCLUDE COMMON.CHK", "END", "Y = 2", "END"},
       stored({commonBegins, "ASSIGN X = 1", commonEnds, "ENDBEFORE", "ASSIGN Y = 2"})},
  };
  for (const auto& c : cases) {
    ImportRun run = viewWithFields();
    writeFiles(run.dir, c.files);
    EXPECT_EQ(run.run(c.chk, kWrite), "") << c.chk[1];
    EXPECT_EQ(run.checkcode("Age"), inFolder(c.expected, run.dir)) << c.chk[1];
    EXPECT_EQ(run.log.str(), "") << c.chk[1];
    EXPECT_TRUE(run.module->Files.empty()) << c.chk[1];
  }
}

TEST_F(IncludesAndJumps, TheListingPassReadsIncludedFilesToo) {
  ImportRun run = viewWithFields();
  run.dir.write("common.chk", "NOSUCH\r\n");
  EXPECT_EQ(run.run({"AGE", "INCLUDE COMMON.CHK", "END", "INCLUDE COMMON.CHK"}, {}), "");
  EXPECT_EQ(run.unmatched(), V{"NOSUCH"});
  EXPECT_EQ(run.checkcode("Age"), "");
  EXPECT_EQ(run.log.str(), "");
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A file that includes itself twice: each level of the filled stack used to
// try the second INCLUDE again, doubling the work per level (2^255 trips).
// Now the loop is left at its first copy, which reads on after its INCLUDE.
TEST_F(IncludesAndJumps, AFileThatIncludesItselfTwice) {
  for (const bool inBlock : {true, false}) {
    ImportRun run({{.Name = "Age"}, {.Name = "Name"}});
    run.dir.write("inc.chk", "X = 1\r\nINCLUDE inc.chk\r\nY = 2\r\nINCLUDE inc.chk\r\nZ = 3\r\n");
    const auto started = std::chrono::steady_clock::now();
    const V chk = inBlock ? V{"AGE", "INCLUDE inc.chk", "END", "NAME", "GOTO AGE", "END"}
                          : V{"INCLUDE inc.chk", "AGE", "W = 0", "END", "NAME", "GOTO AGE", "END"};
    EXPECT_EQ(run.run(chk), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    const std::string code = run.checkcode("Age");
    if (inBlock) {
      // 255 levels of markers and X lines fill the field's section (501
      // entries) before the loop unwinds; what does not fit is reported.
      EXPECT_GE(count(code, "ASSIGN X = 1\r\n"), 200u);
      EXPECT_NE(run.log.str().find("in InsertNewContent"), std::string::npos);
    } else {
      EXPECT_EQ(code, stored({"", "ASSIGN W = 0"}));
    }
    EXPECT_EQ(run.checkcode("Name"), stored({"", "GOTO AGE"}));
    EXPECT_LE(count(run.log.str(), "too many nested INCLUDE files"), 2u * 255u);
  }
}

// A file that includes itself fills the input-file stack. The INCLUDE that
// finds no room is reported once, naming the file, and not followed; the
// pass goes on in the files below it and closes every one of them. Code
// before and after the cycle stays, inside a field block or outside one.
TEST_F(IncludesAndJumps, AnIncludeCycle) {
  for (const bool inBlock : {false, true}) {
    ImportRun run = viewWithFields();
    run.dir.write("common.chk", "INCLUDE COMMON.CHK\r\n");
    const V chk =
        inBlock ? V{"AGE", "X = 1", "END", "SEX", "INCLUDE COMMON.CHK", "END", "NAME", "GOTO AGE", "END"}
                : V{"INCLUDE COMMON.CHK", "AGE", "X = 1", "END", "NAME", "GOTO AGE", "END"};
    EXPECT_EQ(run.run(chk, kWrite), "");
    const std::string log = run.log.str();
    EXPECT_EQ(count(log, "chkimport: error"), 1u) << log;
    EXPECT_NE(log.find("chkimport: error 9: Subscript out of range: too many nested INCLUDE files (opening " +
                       run.dir.file("COMMON.CHK") + ")\n  in ScanWords, ImportCHKCode\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(run.checkcode("Age"), stored({"ASSIGN X = 1"}));
    EXPECT_EQ(run.checkcode("Name"), stored({"GOTO AGE"}));
    EXPECT_EQ(run.checkcode("Sex").starts_with(R"(*INCLUDE COMMON.CHK \/ \/ \/ Included checkcode begins)"),
              inBlock);
    EXPECT_TRUE(run.module->Files.empty());
    EXPECT_EQ(run.module->intFileDepth, 0);
  }
}

// Files that fan out without a cycle, each including the next one twice,
// would open 2^25 files. The pass stops following INCLUDE after 10000
// openings, with one error, and goes on with everything else.
TEST_F(IncludesAndJumps, IncludesThatFanOutStopAfterTenThousandFiles) {
  ImportRun run = viewWithFields();
  for (int i = 1; i < 24; ++i) {
    const std::string next = "INCLUDE F" + std::to_string(i + 1) + ".CHK\r\n";
    run.dir.write("f" + std::to_string(i) + ".chk", next + next);
  }
  run.dir.write("f24.chk", "*\r\n");
  EXPECT_EQ(run.run({"INCLUDE F1.CHK", "AGE", "X = 1", "INCLUDE F24.CHK", "END"}, kWrite), "");
  const std::string log = run.log.str();
  EXPECT_EQ(count(log, "chkimport: error"), 1u) << log.substr(0, 2000);
  EXPECT_EQ(log.find("chkimport: error 67: Too many INCLUDE files: a pass opens at most 10000; this INCLUDE "
                     "and the later ones of the pass are not followed. (" +
                     run.dir.file("F")),
            0u)
      << log.substr(0, 2000);
  EXPECT_EQ(run.checkcode("Age"), stored({"ASSIGN X = 1"}));
  EXPECT_TRUE(run.module->Files.empty());
}

TEST_F(IncludesAndJumps, JumpsBecomeIfThenGotoBlocks) {
  const std::string jumps = "*JUMPS imported as IF-THEN-GOTO blocks",
                    toAge = "IF SEX = 1 THEN\r\nGOTO AGE\r\nEND";
  const std::string useSex2 = jumps + " \r\n*from the USE field SEX2";
  const struct {
    V chk;
    std::string field, expected;  // the field's Checkcode after a writing pass
  } cases[] = {
      {{"SEX", "JUMPS", "1 AGE", "2 STATUS", "END", "END"},
       "Sex",
       stored({jumps, toAge, "IF SEX = 2 THEN\r\nGOTO STATUS\r\nEND"})},
      // In the section open at the time; after its END, lines are statements again.
      {{"SEX", "Y = 0", "AFTER ENTRY", "JUMPS", "1 AGE", "END", "X = 1", "END", "END"},
       "Sex",
       stored({"ASSIGN Y = 0", "ENDBEFORE", jumps, toAge, "ASSIGN X = 1"})},
      // JUMPS USE takes that field's rows only, and tests the current field.
      {{"SEX", "JUMPS", "7 NAME", "END", "END", "SEX2", "JUMPS", "1 AGE", "2 NAME", "END", "END", "STATUS",
        "JUMPS USE SEX2", "END"},
       "Status",
       stored({useSex2, "IF STATUS = 1 THEN\r\nGOTO AGE\r\nEND", "IF STATUS = 2 THEN\r\nGOTO NAME\r\nEND"})},
      // The rows of a field whose block comes later are not read yet.
      {{"STATUS", "JUMPS USE SEX", "END", "SEX", "JUMPS", "1 AGE", "END", "END"},
       "Status",
       stored({"*No JUMPS found for the USE field SEX\r\n"
               "*The USE field specified must be read ahead of current field STATUS"})},
      // Other JUMPS lines store nothing and open no block.
      {{"SEX", "JUMPS FOO", "JUMPS USE", "X = 1", "END", "NAME", "GOTO AGE", "END"},
       "Sex",
       stored({"ASSIGN X = 1"})},
  };
  for (const auto& c : cases) {
    ImportRun run = viewWithFields();
    EXPECT_EQ(run.run(c.chk, kWrite), "") << c.chk[1];
    EXPECT_EQ(run.checkcode(c.field), c.expected) << c.chk[1];
    EXPECT_EQ(run.log.str(), "") << c.chk[1];
  }
}

TEST_F(IncludesAndJumps, MoreJumpRowsThanTheTableHoldsEndThePassWithAMessage) {
  ImportRun run = viewWithFields();
  V chk = {"AGE", "X = 1", "END", "SEX", "JUMPS"};
  for (int i = 0; i < 502; ++i) chk.push_back(std::to_string(i) + " AGE");
  chk.insert(chk.end(), {"END", "END"});
  run.run(chk, kWrite);
  const std::string log = run.log.str();
  EXPECT_NE(log.find("chkimport: error 9: Subscript out of range: more than 501 JUMPS rows (field SEX)\n"
                     "  in TranslateCode, ImportCHKCode\n"),
            std::string::npos)
      << log.substr(0, 2000);
  EXPECT_EQ(run.checkcode("Age"), stored({"ASSIGN X = 1"}));
  EXPECT_TRUE(run.module->Files.empty());
}

void touch(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "X = 1\r\n";
}

TEST(IncludePaths, FindsTheFileAnIncludeLineMeans) {
  TempDir root, cwd;
  const std::string chk = root.file("chk") + "/";
  touch(chk + "Sub/Inner.CHK");
  fs::create_directories(chk + "folder.chk");
  touch(chk + "EXACT.CHK");
  touch(chk + "exact.chk");
  touch(chk + "local.chk");
  touch(chk + "odd\\name.chk");
  touch(root.file("other/Common.chk"));
  touch(cwd.file("local.chk"));
  InFolder in(cwd.path());

  struct Case {
    const char* what;
    std::string name, folder, expected;
  };
  const std::vector<Case> cases = {
      {"slash between folders", "sub/inner.chk", chk, chk + "Sub/Inner.CHK"},
      {"parent folder", "..\\OTHER\\COMMON.CHK", chk, chk + "../other/Common.chk"},
      {"a folder is not a file", "FOLDER.CHK", chk, ""},
      {"a name ending in a separator", "SUB\\", chk, ""},
      {"the current folder comes first", "LOCAL.CHK", chk, "local.chk"},
      {"without a CHK folder only the current one", "COMMON.CHK", "", ""},
      {"the exact spelling wins", "exact.chk", chk, chk + "exact.chk"},
      {"several case matches: the first in byte order", "Exact.Chk", chk, chk + "EXACT.CHK"},
      {"a name with a backslash that exists as written", "odd\\name.chk", chk, chk + "odd\\name.chk"},
  };
  chkimport::FolderListings listings;  // shared, as in a pass
  for (const auto& c : cases)
    EXPECT_EQ(chkimport::FindIncludeFile(c.name, c.folder, "", &listings).path, c.expected) << c.what;
}

}  // namespace
