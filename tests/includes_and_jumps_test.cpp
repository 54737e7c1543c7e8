// Whole passes with INCLUDE lines and JUMPS blocks: what the included code
// and the jumps become in the field's check code, and how a pass copes with
// missing, empty and endlessly nested include files.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "import_harness.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ImportRun;
using testing_support::stored;
using testing_support::TempDir;
using V = std::vector<std::string>;
using Files = std::vector<std::pair<std::string, std::string>>;

using testing_support::InFolder;

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
  return ImportRun({{.Name = "Age", .Checkcode = ""},
                    {.Name = "Sex", .Checkcode = ""},
                    {.Name = "Sex2", .Checkcode = ""},
                    {.Name = "Status", .Checkcode = ""},
                    {.Name = "Name", .Checkcode = ""}});
}

struct IncludeCase {
  const char* what;
  Files files;  // beside the CHK file
  V chk;
  std::string expected;  // AGE's Checkcode after a writing pass
};

TEST_F(IncludesAndJumps, IncludedCodeInAFieldBlock) {
  const std::string commonBegins = R"(*INCLUDE COMMON.CHK \/ \/ \/ Included checkcode begins here \/ \/ \/)";
  // The end marker names the file as the INCLUDE line does (upper-cased), after the CHK file's folder
  // when it was found there, whatever its name on disk.
  const std::string commonEnds = R"(*/\ /\ /\ End of checkcode included from file: %D%/COMMON.CHK /\ /\ /\)";
  const std::string innerBegins = R"(*INCLUDE inner.chk \/ \/ \/ Included checkcode begins here \/ \/ \/)";
  const std::string innerEnds = R"(*/\ /\ /\ End of checkcode included from file: %D%/INNER.CHK /\ /\ /\)";
  const std::vector<IncludeCase> cases = {
      {"found in the CHK file's folder under its upper-cased name",
       {{"common.chk", "X = 1\r\nGOTO SEX\r\n"}},
       {"AGE", "INCLUDE COMMON.CHK", "END"},
       stored({commonBegins, "ASSIGN X = 1", "GOTO SEX", commonEnds})},
      {"reading goes on after the INCLUDE line",
       {{"common.chk", "X = 1"}},
       {"AGE", "INCLUDE COMMON.CHK", "Y = 2", "END"},
       stored({commonBegins, "ASSIGN X = 1", commonEnds, "ASSIGN Y = 2"})},
      {"nested includes unwind one level per file",
       {{"common.chk", "X = 1\r\nINCLUDE inner.chk\r\nX = 3\r\n"}, {"inner.chk", "GOTO SEX\r\n"}},
       {"AGE", "INCLUDE COMMON.CHK", "Y = 2", "END"},
       stored({commonBegins, "ASSIGN X = 1", innerBegins, "GOTO SEX", innerEnds, "ASSIGN X = 3", commonEnds,
               "ASSIGN Y = 2"})},
      {"nested includes that end together",
       {{"common.chk", "INCLUDE inner.chk"}, {"inner.chk", "GOTO SEX"}},
       {"AGE", "INCLUDE COMMON.CHK", "Y = 2", "END"},
       stored({commonBegins, innerBegins, "GOTO SEX", innerEnds, commonEnds, "ASSIGN Y = 2"})},
      {"an empty include file",
       {{"empty.chk", ""}},
       {"AGE", "INCLUDE EMPTY.CHK", "Y = 2", "END"},
       stored({"*Include file could not be imported. \r\n*CHECK file is empty.", "ASSIGN Y = 2"})},
      {"a missing include file",
       {},
       {"AGE", "INCLUDE MISSING.CHK", "Y = 2", "END"},
       stored({"*INCLUDE MISSING.CHK CHECK file not found. \r\n*Include file could not be imported.",
               "ASSIGN Y = 2"})},
      {"INCLUDE without a file name",
       {},
       {"AGE", "INCLUDE", "END"},
       stored({"*INCLUDE CHECK file not found. \r\n*Include file could not be imported."})},
      {"a folder is not a file",
       {{"common.chk/inner.chk", "X = 1"}},
       {"AGE", "INCLUDE COMMON.CHK", "END"},
       stored({"*INCLUDE COMMON.CHK CHECK file not found. \r\n*Include file could not be imported."})},
      {"INCLUDE outside a field block: translated, no comment",
       {{"common.chk", "AGE\r\nX = 1\r\nEND\r\n"}},
       {"INCLUDE common.chk"},
       stored({"ASSIGN X = 1"})},
      {"a backslash between folders",
       {{"sub/common.chk", "X = 1"}},
       {"AGE", R"(INCLUDE sub\common.chk)", "END"},
       stored({R"(*INCLUDE sub\common.chk \/ \/ \/ Included checkcode begins here \/ \/ \/)", "ASSIGN X = 1",
               R"(*/\ /\ /\ End of checkcode included from file: %D%/SUB\COMMON.CHK /\ /\ /\)"})},
      {"folder and file names that differ in case",
       {{"Sub/Common.Chk", "X = 1"}},
       {"AGE", R"(INCLUDE SUB\COMMON.CHK)", "END"},
       stored({R"(*INCLUDE SUB\COMMON.CHK \/ \/ \/ Included checkcode begins here \/ \/ \/)", "ASSIGN X = 1",
               R"(*/\ /\ /\ End of checkcode included from file: %D%/SUB\COMMON.CHK /\ /\ /\)"})},
      {"the markers go to the section open at the time",
       {{"common.chk", "X = 1"}},
       {"AGE", "BEFORE ENTRY", "INCLUDE COMMON.CHK", "END", "Y = 2", "END"},
       stored({commonBegins, "ASSIGN X = 1", commonEnds, "ENDBEFORE", "ASSIGN Y = 2"})},
  };
  for (const auto& c : cases) {
    ImportRun run = viewWithFields();
    writeFiles(run.dir, c.files);
    EXPECT_EQ(run.run(c.chk, {.overwrite = true, .ignoreNew = true}), "") << c.what;
    EXPECT_EQ(run.checkcode("Age"), inFolder(c.expected, run.dir)) << c.what;
    EXPECT_EQ(run.log.str(), "") << c.what;
    EXPECT_TRUE(run.module->Files.empty()) << c.what;
  }
}

TEST_F(IncludesAndJumps, TheCurrentFolderIsSearchedFirst) {
  ImportRun run = viewWithFields();
  run.dir.write("common.chk", "X = 2\r\n");
  cwd.write("common.chk", "X = 1\r\n");
  run.run({"AGE", "INCLUDE COMMON.CHK", "END"}, {.overwrite = true, .ignoreNew = true});
  EXPECT_EQ(run.checkcode("Age"),
            stored({R"(*INCLUDE COMMON.CHK \/ \/ \/ Included checkcode begins here \/ \/ \/)", "ASSIGN X = 1",
                    R"(*/\ /\ /\ End of checkcode included from file: COMMON.CHK /\ /\ /\)"}));
  EXPECT_EQ(run.log.str(), "");
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

// A file that includes itself fills the input-file stack. The INCLUDE that
// finds no room is reported, naming the file, and not followed; the pass
// goes on in the files below it and closes every one of them.
TEST_F(IncludesAndJumps, AnIncludeCycleOutsideFieldBlocks) {
  ImportRun run = viewWithFields();
  run.dir.write("common.chk", "INCLUDE COMMON.CHK\r\n");
  EXPECT_EQ(run.run({"INCLUDE COMMON.CHK", "AGE", "X = 1", "END"}, {.overwrite = true, .ignoreNew = true}),
            "");
  const std::string log = run.log.str();
  EXPECT_EQ(count(log, "chkimport: error"), 1u) << log;
  EXPECT_NE(log.find("chkimport: error 9: Subscript out of range: too many nested INCLUDE files (opening " +
                     run.dir.file("COMMON.CHK") + ")\n  in ScanWords, ImportCHKCode\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(run.checkcode("Age"), stored({"ASSIGN X = 1"}));
  EXPECT_TRUE(run.module->Files.empty());
  EXPECT_EQ(run.module->intFileDepth, 0);
}

TEST_F(IncludesAndJumps, AnIncludeCycleInsideAFieldBlock) {
  ImportRun run = viewWithFields();
  run.dir.write("common.chk", "INCLUDE COMMON.CHK\r\n");
  run.run({"AGE", "X = 1", "END", "SEX", "INCLUDE COMMON.CHK", "END", "NAME", "GOTO AGE", "END"},
          {.overwrite = true, .ignoreNew = true});
  const std::string log = run.log.str();
  EXPECT_EQ(count(log, "too many nested INCLUDE files (opening " + run.dir.file("COMMON.CHK") + ")"), 1u)
      << log;
  // Code written before the cycle stays, and so does code after it.
  EXPECT_EQ(run.checkcode("Age"), stored({"ASSIGN X = 1"}));
  EXPECT_EQ(run.checkcode("Name"), stored({"GOTO AGE"}));
  EXPECT_EQ(
      run.checkcode("Sex").rfind(R"(*INCLUDE COMMON.CHK \/ \/ \/ Included checkcode begins here \/ \/ \/)"
                                 "\r\n",
                                 0),
      0u);
  EXPECT_TRUE(run.module->Files.empty());
  EXPECT_EQ(run.module->intFileDepth, 0);
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
  EXPECT_EQ(run.run({"INCLUDE F1.CHK", "AGE", "X = 1", "INCLUDE F24.CHK", "END"},
                    {.overwrite = true, .ignoreNew = true}),
            "");
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

struct JumpsCase {
  const char* what;
  V chk;
  std::string field;
  std::string expected;  // the field's Checkcode after a writing pass
};

TEST_F(IncludesAndJumps, JumpsBecomeIfThenGotoBlocks) {
  const std::vector<JumpsCase> cases = {
      {"a JUMPS block",
       {"SEX", "JUMPS", "1 AGE", "2 STATUS", "END", "END"},
       "Sex",
       stored({"*JUMPS imported as IF-THEN-GOTO blocks", "IF SEX = 1 THEN\r\nGOTO AGE\r\nEND",
               "IF SEX = 2 THEN\r\nGOTO STATUS\r\nEND"})},
      {"after its END, lines are statements again",
       {"SEX", "JUMPS", "1 AGE", "END", "X = 1", "END"},
       "Sex",
       stored(
           {"*JUMPS imported as IF-THEN-GOTO blocks", "IF SEX = 1 THEN\r\nGOTO AGE\r\nEND", "ASSIGN X = 1"})},
      {"in the section open at the time",
       {"SEX", "AFTER ENTRY", "JUMPS", "1 AGE", "END", "END", "X = 1", "END"},
       "Sex",
       stored(
           {"*JUMPS imported as IF-THEN-GOTO blocks", "IF SEX = 1 THEN\r\nGOTO AGE\r\nEND", "ASSIGN X = 1"})},
      {"JUMPS USE of an earlier field tests the current one",
       {"SEX2", "JUMPS", "1 AGE", "2 NAME", "END", "END", "STATUS", "JUMPS USE SEX2", "END"},
       "Status",
       stored({"*JUMPS imported as IF-THEN-GOTO blocks \r\n*from the USE field SEX2",
               "IF STATUS = 1 THEN\r\nGOTO AGE\r\nEND", "IF STATUS = 2 THEN\r\nGOTO NAME\r\nEND"})},
      {"JUMPS USE takes only that field's rows",
       {"SEX", "JUMPS", "7 NAME", "END", "END", "SEX2", "JUMPS", "1 AGE", "2 NAME", "END", "END", "STATUS",
        "JUMPS USE SEX2", "END"},
       "Status",
       stored({"*JUMPS imported as IF-THEN-GOTO blocks \r\n*from the USE field SEX2",
               "IF STATUS = 1 THEN\r\nGOTO AGE\r\nEND", "IF STATUS = 2 THEN\r\nGOTO NAME\r\nEND"})},
      {"JUMPS USE of a field without rows",
       {"STATUS", "JUMPS USE AGE", "END"},
       "Status",
       stored({"*No JUMPS found for the USE field AGE\r\n"
               "*The USE field specified must be read ahead of current field STATUS"})},
      {"JUMPS USE of a field whose block comes later",
       {"STATUS", "JUMPS USE SEX", "END", "SEX", "JUMPS", "1 AGE", "END", "END"},
       "Status",
       stored({"*No JUMPS found for the USE field SEX\r\n"
               "*The USE field specified must be read ahead of current field STATUS"})},
      {"other JUMPS lines store nothing and open no block",
       {"SEX", "JUMPS FOO", "JUMPS USE", "X = 1", "END", "NAME", "GOTO AGE", "END"},
       "Sex",
       stored({"ASSIGN X = 1"})},
  };
  for (const auto& c : cases) {
    ImportRun run = viewWithFields();
    EXPECT_EQ(run.run(c.chk, {.overwrite = true, .ignoreNew = true}), "") << c.what;
    EXPECT_EQ(run.checkcode(c.field), c.expected) << c.what;
    EXPECT_EQ(run.log.str(), "") << c.what;
  }
}

// The block is opened on the listing pass too, so its END does not end the
// field's block early.
TEST_F(IncludesAndJumps, AJumpsBlockKeepsTheLevelOnTheListingPass) {
  ImportRun run = viewWithFields();
  EXPECT_EQ(run.run({"SEX", "JUMPS", "1 AGE", "END", "NOSUCH2", "END", "NOSUCH"}, {}), "");
  EXPECT_EQ(run.unmatched(), V{"NOSUCH"});
}

}  // namespace

namespace {

TEST_F(IncludesAndJumps, MoreJumpRowsThanTheTableHoldsEndThePassWithAMessage) {
  ImportRun run = viewWithFields();
  V chk = {"AGE", "X = 1", "END", "SEX", "JUMPS"};
  for (int i = 0; i < 502; ++i) chk.push_back(std::to_string(i) + " AGE");
  chk.insert(chk.end(), {"END", "END"});
  run.run(chk, {.overwrite = true, .ignoreNew = true});
  const std::string log = run.log.str();
  EXPECT_NE(log.find("chkimport: error 9: Subscript out of range: more than 501 JUMPS rows (field SEX)\n"
                     "  in TranslateCode, ImportCHKCode\n"),
            std::string::npos)
      << log.substr(0, 2000);
  EXPECT_EQ(run.checkcode("Age"), stored({"ASSIGN X = 1"}));
  EXPECT_TRUE(run.module->Files.empty());
}

}  // namespace
