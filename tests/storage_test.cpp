// Code tables: a free name for each, and the value rows in their order.
#include <gtest/gtest.h>

#include "core/import_state.h"
#include "dialogs/form1.h"
#include "dialogs/forms.h"
#include "import_harness.h"
#include "services/dao.h"
#include "translate/field_code_buffers.h"
#include "viewdb/code_tables.h"

namespace chkimport {
namespace {

using namespace testing_support;
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
