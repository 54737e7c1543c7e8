// Inputs the fuzzers found, kept so that what they broke stays fixed.
#include <gtest/gtest.h>

#include <chrono>

#include "import_harness.h"

namespace {

using testing_support::ImportRun;

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A file that includes itself twice: each level of the filled stack used to
// try the second INCLUDE again, doubling the work per level (2^255 trips).
// Now the loop is left at its first copy, which reads on after its INCLUDE.
TEST(FuzzRegressions, AFileThatIncludesItselfTwice) {
  for (const bool inBlock : {true, false}) {
    ImportRun run({{.Name = "Age"}, {.Name = "Name"}});
    run.dir.write("inc.chk", "X = 1\r\nINCLUDE inc.chk\r\nY = 2\r\nINCLUDE inc.chk\r\nZ = 3\r\n");
    const auto started = std::chrono::steady_clock::now();
    const std::vector<std::string> chk =
        inBlock
            ? std::vector<std::string>{"AGE", "INCLUDE inc.chk", "END", "NAME", "GOTO AGE", "END"}
            : std::vector<std::string>{"INCLUDE inc.chk", "AGE", "W = 0", "END", "NAME", "GOTO AGE", "END"};
    EXPECT_EQ(run.run(chk), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    const std::string code = run.checkcode("Age");
    if (inBlock) {
      // 255 levels of markers and X lines fill the field's section (501
      // entries) before the loop unwinds; what does not fit is reported.
      EXPECT_GE(count(code, "ASSIGN X = 1\r\n"), 200u);
      EXPECT_NE(run.log.str().find("in InsertNewContent"), std::string::npos);
    } else {
      EXPECT_EQ(code, testing_support::stored({"", "ASSIGN W = 0"}));
    }
    EXPECT_EQ(run.checkcode("Name"), testing_support::stored({"", "GOTO AGE"}));
    const std::string log = run.log.str();
    EXPECT_GE(count(log, "too many nested INCLUDE files"), 1u) << log.substr(0, 2000);
    EXPECT_LE(count(log, "too many nested INCLUDE files"), 2u * 255u);
    EXPECT_TRUE(run.module->Files.empty());
    EXPECT_EQ(run.module->intFileDepth, 0);
  }
}

}  // namespace
