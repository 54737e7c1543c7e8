// The field code buffers, storing a field's code, finding a field's row, and
// code tables.
#include <gtest/gtest.h>

#include "core/import_state.h"
#include "dialogs/form1.h"
#include "dialogs/forms.h"
#include "import_harness.h"
#include "services/dao.h"
#include "translate/field_code_buffers.h"
#include "viewdb/check_code_storage.h"
#include "viewdb/code_tables.h"

namespace chkimport {
namespace {

using testing_support::ImportRun;
using testing_support::querySql;
using V = std::vector<std::string>;

struct Storage : ::testing::Test {
  Storage() {
    st.host.errorLog = &log;
    st.objErrorStack = Instance<Form1>(st).Mishtrak1;
    st.objLanguage = &english;
    st.blnTrapErrors = true;
    InitializeArray(st);
  }

  std::unique_ptr<dao::Database> open() { return dao::DBEngine::Workspaces(0).OpenDatabase(view.db); }

  ImportRun view{{{.Name = "Age"}, {.Name = "Sex"}, {.Name = "Sex"}}};
  ImportState st;
  IdentityTranslator english;
  std::ostringstream log;
};

TEST_F(Storage, TheStoredFormOfTheBuffers) {
  struct Case {
    const char* what;
    V before, after, staged;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"nothing", {}, {}, {}, ""},
      {"before and staged", {"A", "B"}, {}, {"C"}, "A\r\nB\r\nENDBEFORE\r\nC\r\n"},
      {"after only", {}, {"X"}, {}, "X\r\n"},
      {"all three", {"b"}, {"a"}, {"s"}, "b\r\nENDBEFORE\r\na\r\ns\r\n"},
  };
  for (const auto& c : cases) {
    InitializeArray(st);
    for (const auto& line : c.before) InsertNewContent(st, 0, "  " + line + " ");
    for (const auto& line : c.after) InsertNewContent(st, 1, line);
    for (const auto& line : c.staged) InsertNewContent(st, 2, line);
    EXPECT_EQ(StoredCheckcode(st), c.expected) << c.what;
  }
}

TEST_F(Storage, StoredCodeIsReadBackAsOneEntryPerPart) {
  InsertNewContent(st, 9, "A\r\nENDBEFORE\r\nB\r\n");
  ASSERT_EQ(st.intBeforeCount, 1);
  ASSERT_EQ(st.intAfterCount, 1);
  EXPECT_EQ(st.strNewContent(0, 0), "A\r\n");
  EXPECT_EQ(st.strNewContent(1, 0), "B\r\n");

  InitializeArray(st);
  InsertNewContent(st, 9, "");
  EXPECT_EQ(st.intBeforeCount, 0);
  EXPECT_EQ(st.intAfterCount, 1);  // an empty value is an empty AFTER line
  EXPECT_EQ(StoredCheckcode(st), "\r\n");

  InitializeArray(st);
  EXPECT_TRUE(InsertNewContent(st, 7, "ignored"));
  EXPECT_EQ(StoredCheckcode(st), "");
}

TEST_F(Storage, StagedLinesJoinTheBeforeLines) {
  for (const char* line : {"b1", "b2"}) InsertNewContent(st, 0, line);
  for (const char* line : {"s1", "s2", "s3"}) InsertNewContent(st, 2, line);
  ShiftNewContent(st, 0);
  EXPECT_EQ(st.intBeforeCount, 5);
  EXPECT_EQ(st.intStagedCount, 0);
  EXPECT_EQ(StoredCheckcode(st), testing_support::stored({"b1", "b2", "s1", "s2", "s3", "ENDBEFORE"}));
}

TEST_F(Storage, FindingAFieldsRow) {
  auto db = open();
  auto rs = db->OpenRecordset("Select * from viewForm where Pagenumber >= 0");
  GetBookmark(st, *rs, " AGE ");
  ASSERT_FALSE(st.strBookmark.empty());
  EXPECT_EQ(rs->Field("Name").ToString(), "Age");

  GetBookmark(st, *rs, "age");  // names are compared upper-cased, the wanted one as given
  EXPECT_EQ(st.strBookmark, "");
  EXPECT_TRUE(rs->Eof());

  GetBookmark(st, *rs, "SEX");
  rs->SetBookmark(st.strBookmark);
  rs->MoveNext();
  EXPECT_FALSE(rs->Eof());  // the first of the two Sex rows was found
  EXPECT_EQ(log.str(), "");
}

TEST_F(Storage, ALookUpInAViewWithoutRowsIsAnError) {
  testing_support::execSql(view.db, "CREATE TABLE viewEmpty (Name TEXT, PageNumber INTEGER);");
  auto db = open();
  auto rs = db->OpenRecordset("Select * from viewEmpty where Pagenumber >= 0");
  GetBookmark(st, *rs, "AGE");
  EXPECT_EQ(st.strBookmark, "");
  EXPECT_NE(log.str().find("error 3021: No current record."), std::string::npos) << log.str();
}

TEST_F(Storage, CodeTablesTakeTheFirstFreeName) {
  testing_support::execSql(view.db, "CREATE TABLE CODESEX (x); CREATE TABLE codesex1 (x);");
  auto db = open();
  st.strCodes(0, 0) = "Sex";
  st.strCodes(1, 0) = "Sex1";
  EXPECT_EQ(CreateNewCodetable(st, *db, "Sex"), "codeSex2");
  st.strCodes(1, 0) = "";
  EXPECT_EQ(CreateNewCodetable(st, *db, " Age "), "codeAge");
  EXPECT_EQ(CreateNewCodetable(st, *db, "Age"), "codeAge1");
  EXPECT_EQ(log.str(), "");
}

TEST_F(Storage, CodeTablesHoldTheValueRowsInOrder) {
  auto db = open();
  st.strCodes(0, 0) = "Sex";
  st.strCodes(1, 0) = "Sex1";
  const V values = {"1", "MALE", "2", "FEMALE", "2", ""};
  for (int row = 1; row <= 3; ++row) {
    st.strCodes(0, row) = values[static_cast<std::size_t>(2 * row - 2)];
    st.strCodes(1, row) = values[static_cast<std::size_t>(2 * row - 1)];
  }
  st.intCodeCount = 4;
  const std::string table = CreateNewCodetable(st, *db, "Sex");
  PopulateCodeTable(st, *db, table);
  db.reset();
  EXPECT_EQ(querySql(view.db, "SELECT Sex || '|' || Sex1 FROM codeSex ORDER BY rowid"),
            (V{"1|MALE", "2|FEMALE", "2|"}));  // duplicates stay; the second column allows ""

  // A one-column table keeps only the first column; an empty first value is
  // refused by the table and reported, and the rows before it stay.
  auto again = open();
  st.strCodes(1, 0) = "";
  st.strCodes(0, 2) = "";
  const std::string single = CreateNewCodetable(st, *again, "Sex");
  PopulateCodeTable(st, *again, single);
  again.reset();
  EXPECT_EQ(querySql(view.db, "SELECT * FROM codeSex1 ORDER BY rowid"), V{"1"});
  EXPECT_NE(log.str().find("cannot be a zero-length string"), std::string::npos) << log.str();
}

}  // namespace
}  // namespace chkimport
