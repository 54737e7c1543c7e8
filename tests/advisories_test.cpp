// Commands without a counterpart: the comments they leave, the lines carried
// over, HELP and TYPE messages as DIALOG commands, REPEAT's letter.
#include <gtest/gtest.h>

#include "import_harness.h"

namespace {

using namespace testing_support;
using V = std::vector<std::string>;

// HELP with a help file or with KEYS, around the line as read. Texts are
// written with their translated phrases marked.
std::string helpFile(const std::string& line) {
  return "*<The following HELP file> <is not translated into Vantrel 2000 syntax.> \r\n*" + line +
         "\r\n*<Rewrite the Help text file to an HTML file.>\r\n*<Convert each !TOPIC or !INDEX to an anchor "
         "tag.>\r\n*<Use the HELP builder to select the file and the anchor for> \r\n"
         "*<the topic you want to display.>";
}
std::string helpKeys(const std::string& line) {
  return "*<The following HELP command with KEYS keyword> \r\n*<is not translated into Vantrel 2000 syntax.> "
         "\r\n*" +
         line +
         "\r\n*<To perform this feature, first define a variable.> \r\n"
         "*<If this command is followed by a command using a RESULT variable,> \r\n"
         "*<then the variable you define should be called RESULT.> \r\n"
         "*<Then use the Plandor DIALOG builder with one of the> \r\n"
         "*<Get Variables styles.  Select the variable you defined as the Input Variable.>";
}
const std::string kMachineCode =
    " <is not necessary in Vantrel 2000> \r\n*<It is for machine language programs that> \r\n"
    "*<are only supported in DOS.>";

// Through a translator: only the phrases of a comment pass through it,
// without the blanks around them.
TEST(Advisories, EachCommandStoresItsText) {
  const struct {
    const char* line;
    std::string expected;  // the one entry stored for it
  } cases[] = {
      {"CALL MOUSE.COM",
       "*CALL <is not relevant in Vantrel 2000> \r\n*<It calls TSR programs that are only supported in "
       "DOS.>"},
      {"clear Weight", "clear Weight"},
      {"COLOR 1 14",
       "*COLOR <is not necessary in Vantrel 2000> \r\n*<Change background color from> \r\n"
       "*<the View|Background menu item.>"},
      {"FIELDCHAR _", "*FIELDCHAR <is not supported in Vantrel 2000>"},
      {"hide Weight", "hide Weight"},
      {"LOAD graph.bin", "*LOAD" + kMachineCode},
      {"RELATE Age Other.rec",
       "*RELATE <is not supported in Checkcode> \r\n*<To RELATE to another view,> \r\n"
       "*<Right-click on the view in Plandor,> \r\n*<Enter prompt and select RELATE as the> \r\n"
       "*<FIELD OR VARIABLE TYPE, then click the> \r\n*<RELATED VIEW button.> \r\n"
       "*<If this RELATE command is within an IF-THEN block,> \r\n"
       "*<you may decide to delete this block for efficiency.>"},
      {"SHOWMEMORY",
       "*SHOWMEMORY <is not relevant in Vantrel 2000> \r\n*<It is about memory available to DOS.>"},
      {"TYPE COMMENT ON", "*TYPE COMMENT <is not supported in Vantrel 2000>"},
      {"unhide Weight", "unhide Weight"},
      {"UNLOAD graph.bin", "*UNLOAD" + kMachineCode},
      {"UPDATE", "*UPDATE <is not necessary in Vantrel 2000>"},
      {"HELP age.hlp TOPIC1", helpFile("HELP age.hlp TOPIC1")},
      {"HELP \"Pick a colour\" KEYS=RGB", helpKeys("HELP \"Pick a colour\" KEYS=RGB")},
      // One blank is left from the cut, one begins the title part.
      {"HELP \"Enter the age\" 2", "DIALOG \"Enter the age\"  TITLETEXT=\"HELP! Dialog\""},
      {"HELP \"Enter the age\"", "DIALOG \"Enter the age\" TITLETEXT=\"HELP! Dialog\""},
      // Word 2 is looked for after the message only.
      {"HELP \"Age 2 or more\" 2 X", "DIALOG \"Age 2 or more\"  TITLETEXT=\"HELP! Dialog\""},
      {"TYPE \"Too old\" 3", "DIALOG \"Too old\"  TITLETEXT=\"HELP! Dialog\""},
  };
  for (const auto& c : cases) {
    ImportRun run({{.Name = "Age"}});
    run.markPhrases();
    EXPECT_EQ(run.run({"AGE", c.line, "END"}, kWrite), "") << c.line;
    EXPECT_EQ(run.checkcode("Age"), stored({c.expected})) << c.line;
    EXPECT_EQ(run.log.str(), "") << c.line;
  }
}

TEST(Advisories, RepeatMarksTheFieldWhoseBlockItIsIn) {
  ImportRun run({{.Name = "Age"}, {.Name = "Name"}, {.Name = "Sex"}});
  run.run({"AGE", "END", "NAME", "IF AGE = 1", "REPEAT", "ENDIF", "END"}, kWrite);
  EXPECT_EQ(run.lists("Age"), "<null>");
  EXPECT_EQ(run.lists("Name"), "R");
  EXPECT_EQ(run.lists("Sex"), "<null>");
}

}  // namespace
