// What a pass keeps when a statement fails, and what a second pass over the
// same code keeps: never less than was there.
#include <gtest/gtest.h>

#include <set>

#include "import_harness.h"

namespace {

using testing_support::execSql;
using testing_support::ImportRun;
using testing_support::querySql;
using testing_support::stored;
using V = std::vector<std::string>;

// The non-empty lines of a stored value.
V lines(const std::string& text) {
  V out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) out.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

// Every column of every row of the view, in rowid order.
V everyRow(const ImportRun& run) {
  return querySql(
      run.db,
      "SELECT quote(UniqueKey) || '|' || quote(Name) || '|' || quote(PageNumber) || '|' || "
      "quote(Checkcode) || '|' || quote(Type) || '|' || quote(Formatstring) || '|' || quote(Lists) "
      "FROM viewForm ORDER BY rowid");
}

// The database refuses to store the code of one field. The failing routine
// (storing that field's code) is left, the error is reported, the code
// stored before stays and the pass goes on with the next field. Without
// overwriting, a Null code is merged as "": one empty line ahead of the new.
TEST(NothingLost, AFieldWhoseCodeCannotBeStored) {
  ImportRun run({{.Name = "Age"}, {.Name = "Sex", .Checkcode = "GOTO AGE\r\n"}, {.Name = "Name"}});
  execSql(run.db,
          "CREATE TRIGGER refuse BEFORE UPDATE OF Checkcode ON viewForm WHEN NEW.Name = 'Sex' "
          "BEGIN SELECT RAISE(ABORT, 'refused by the form'); END;");
  EXPECT_EQ(run.run({"AGE", "X = 1", "END", "SEX", "GOTO NAME", "END", "NAME", "GOTO AGE", "END"}), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"", "ASSIGN X = 1"}));
  EXPECT_EQ(run.checkcode("Sex"), stored({"GOTO AGE"}));
  EXPECT_EQ(run.checkcode("Name"), stored({"", "GOTO AGE"}));
  const std::string log = run.log.str();
  EXPECT_NE(log.find("refused by the form"), std::string::npos) << log;
  EXPECT_NE(log.find("in ImportCode"), std::string::npos) << log;
}

// A value too long for a code table's column: the rows before it are
// stored, the table stays, and the field's code and the next field's are
// written.
TEST(NothingLost, AValueListRowACodeTableRefuses) {
  ImportRun run({{.Name = "Age"}, {.Name = "Name"}});
  const std::string tooLong(300, 'x');
  EXPECT_EQ(run.run({"AGE", "LEGAL", "1", tooLong, "3", "END", "END", "NAME", "GOTO AGE", "END"},
                    {.overwrite = true, .ignoreNew = true, .tables = true}),
            "");
  EXPECT_EQ(querySql(run.db, "SELECT Age FROM codeAge ORDER BY rowid"), V{"1"});
  EXPECT_NE(run.checkcode("Age").find("*codeAge\r\n"), std::string::npos) << run.checkcode("Age");
  EXPECT_EQ(run.checkcode("Name"), stored({"GOTO AGE"}));
  EXPECT_NE(run.log.str().find("in PopulateCodeTable"), std::string::npos) << run.log.str();
}

// The same import run twice without overwriting: each part of a field's
// code holds the old lines first, then the new; rows the CHK file does not
// name are left byte for byte. A stored part keeps its line end and is
// joined to the new lines by another: an empty line between old and new.
TEST(NothingLost, ASecondImportMergesAndDropsNothing) {
  ImportRun run({{.Name = "Age", .Checkcode = stored({"OLD BEFORE", "ENDBEFORE", "OLD AFTER"})},
                 {.Name = "Sex", .Checkcode = stored({"OLD AFTER ONLY"})},
                 {.Name = "Name", .Checkcode = "kept as it is", .Lists = "M"},
                 {.Name = "Hidden", .Checkcode = "off the form", .PageNumber = -1}});
  const V chk = {"AGE", "BEFORE ENTRY", "X = 1", "END",       "AFTER ENTRY", "GOTO SEX",
                 "END", "END",          "SEX",   "GOTO NAME", "END"};
  const V untouched = {everyRow(run)[2], everyRow(run)[3]};

  EXPECT_EQ(run.run(chk), "");
  EXPECT_EQ(run.checkcode("Age"),
            stored({"OLD BEFORE", "", "ASSIGN X = 1", "ENDBEFORE", "OLD AFTER", "", "GOTO SEX"}));
  EXPECT_EQ(run.checkcode("Sex"), stored({"OLD AFTER ONLY", "", "GOTO NAME"}));
  const V first = everyRow(run);
  EXPECT_EQ((V{first[2], first[3]}), untouched);

  EXPECT_EQ(run.run(chk), "");
  EXPECT_EQ(run.checkcode("Age"), stored({"OLD BEFORE", "", "ASSIGN X = 1", "", "ASSIGN X = 1", "ENDBEFORE",
                                          "OLD AFTER", "", "GOTO SEX", "", "GOTO SEX"}));
  EXPECT_EQ(run.checkcode("Sex"), stored({"OLD AFTER ONLY", "", "GOTO NAME", "", "GOTO NAME"}));
  const V second = everyRow(run);
  ASSERT_EQ(second.size(), first.size());
  EXPECT_EQ((V{second[2], second[3]}), untouched);
  EXPECT_EQ(run.log.str(), "");
}

// Merging never loses a line: after a second pass each field holds every
// line it held before, as many times, whatever the sections look like.
TEST(NothingLost, EveryStoredLineSurvivesAMerge) {
  const std::vector<std::string> old = {"",
                                        "\r\n",
                                        stored({"ENDBEFORE"}),
                                        stored({"A", "ENDBEFORE"}),
                                        stored({"ENDBEFORE", "B"}),
                                        "no line end",
                                        stored({"A", "ENDBEFORE", "B", "ENDBEFORE", "C"})};
  for (const auto& code : old) {
    ImportRun run({{.Name = "Age", .Checkcode = code}});
    EXPECT_EQ(run.run({"AGE", "BEFORE ENTRY", "X = 1", "END", "GOTO Y", "END"}), "");
    std::multiset<std::string> before, after;
    for (const auto& line : lines(code)) before.insert(line);
    for (const auto& line : lines(run.checkcode("Age"))) after.insert(line);
    for (const auto& line : before)
      EXPECT_GE(after.count(line), before.count(line))
          << "[" << line << "] of [" << code << "]: " << run.checkcode("Age");
    EXPECT_GE(after.count("ASSIGN X = 1"), 1u);
    EXPECT_GE(after.count("GOTO Y"), 1u);
    EXPECT_EQ(run.log.str(), "");
  }
}

}  // namespace
