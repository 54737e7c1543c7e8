// The database layer against real SQLite files in a temporary folder.
#include "services/dao.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "chkimport/vb_error.h"
#include "test_support.h"

namespace chkimport::dao {
void PrintTo(const Value& v, std::ostream* os) {
  *os << (v.IsNull() ? "Null" : "'" + v.ToString() + "'");
}
}  // namespace chkimport::dao

namespace {

namespace fs = std::filesystem;
using namespace chkimport::dao;
using chkimport::VbError;

using testing_support::Describe;
using testing_support::ErrorOf;

class DatabaseLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Sql(path_,
        "CREATE TABLE Survey (Name TEXT, PageNumber INTEGER, Note TEXT DEFAULT 'none');"
        "INSERT INTO Survey (rowid, Name, PageNumber, Note) VALUES (3, 'c', 0, 'n'), (1, 'a', 1, NULL),"
        " (2, 'b', -1, 'n'), (5, 'e', NULL, 'n'), (4, 'd', 2, 'n');"
        "CREATE TABLE Empty (Name TEXT, PageNumber INTEGER);");
    workspace_ = DBEngine::CreateWorkspace("test", "", "", dbUseDefault);
    db_ = workspace_->OpenDatabase(path_);
  }

  // Runs SQL on a connection of its own, as another program would.
  static int Sql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc;
  }

  // The field's values from the first row to Eof; Null reads as "<null>".
  static std::vector<std::string> Scan(Recordset& rs, const std::string& field) {
    std::vector<std::string> values;
    if (ErrorOf([&] { rs.MoveFirst(); }) == dbe::NoCurrentRecord) return values;
    for (; !rs.Eof(); rs.MoveNext()) {
      const Value v = rs.Field(field);
      values.push_back(v.IsNull() ? "<null>" : v.ToString());
    }
    return values;
  }

  // The field's values as a workspace of its own reads them from the file.
  std::vector<std::string> ScanFresh(const std::string& table, const std::string& field) const {
    auto other = DBEngine::CreateWorkspace("other", "", "", dbUseDefault);
    auto db = other->OpenDatabase(path_);
    auto rs = db->OpenRecordset("Select * from " + table);
    return Scan(*rs, field);
  }

  // The file's bytes less the header's two change counters, which SQLite
  // moves on at every transaction, even one rolled back.
  static std::string Bytes(const std::string& path) {
    std::string bytes = testing_support::readFile(path);
    if (bytes.size() >= 100) {
      bytes.replace(24, 4, 4, '\0');
      bytes.replace(92, 4, 4, '\0');
    }
    return bytes;
  }

  testing_support::TempDir tmp_;
  fs::path dir_ = tmp_.path();
  std::string path_ = tmp_.file("views.db");
  std::unique_ptr<Workspace> workspace_;
  std::unique_ptr<Database> db_;
};

TEST_F(DatabaseLayerTest, OpenFailures) {
  std::ofstream(dir_ / "text.db") << "not a database at all, just some text that is long enough\n";
  std::ofstream(dir_ / "empty.db").flush();
  fs::create_directory(dir_ / "folder");
  const struct {
    std::string path;
    int error;
  } cases[] = {
      {"", dbe::FileNotFound},
      {(dir_ / "missing.db").string(), dbe::FileNotFound},
      {(dir_ / "text.db").string(), dbe::NotADatabase},
      {(dir_ / "empty.db").string(), dbe::NotADatabase},
      {(dir_ / "folder").string(), dbe::CannotOpen},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ErrorOf([&] { workspace_->OpenDatabase(c.path); }), c.error) << c.path;
  EXPECT_EQ(Describe([&] { workspace_->OpenDatabase(dir_ / "text.db"); }),
            "Unrecognized database format '" + (dir_ / "text.db").string() + "'.");
}

// The file's permissions refuse a user who may not read or write it.
TEST_F(DatabaseLayerTest, AFileTheUserMayNotReadOrWrite) {
  chmod(dir_.c_str(), 0755);
  chmod(path_.c_str(), 0);
  const auto asNobody = [&](auto&& work) {
    return testing_support::AsAnotherUser([&] { return std::to_string(ErrorOf(work)); });
  };
  EXPECT_EQ(asNobody([&] { DBEngine::CreateWorkspace("fresh", "", "", dbUseDefault)->OpenDatabase(path_); }),
            std::to_string(dbe::CannotOpen));
  chmod(path_.c_str(), 0444);
  EXPECT_EQ(asNobody([&] {
              auto ws = DBEngine::CreateWorkspace("ro", "", "", dbUseDefault);
              auto db = ws->OpenDatabase(path_);
              auto rs = db->OpenRecordset("Select * from Survey");
              rs->Edit();
              rs->SetField("Name", "x");
              rs->Update();
            }),
            std::to_string(dbe::ReadOnly));
}

TEST_F(DatabaseLayerTest, AcceptsOnlyTheTwoQueryForms) {
  const struct {
    const char* sql;
    int error;
    std::size_t rows;
  } cases[] = {
      {"Select * from Survey", 0, 5},
      {"  SELECT\t*\n FROM   survey  ", 0, 5},
      {"select * from [Survey]", 0, 5},
      {"Select * from Survey where Pagenumber >= 0", 0, 3},
      {"select*from [Survey] WHERE PAGENUMBER>=0", 0, 3},
      {"Select * from Sur vey", dbe::SyntaxError, 0},
      {"Select Name from Survey", dbe::SyntaxError, 0},
      {"Select * from Survey;", dbe::SyntaxError, 0},
      {"Select * from Survey where PageNumber > 0", dbe::SyntaxError, 0},
      {"Select * from Survey where PageNumber >= 1", dbe::SyntaxError, 0},
      {"Select * from Survey order by Name", dbe::SyntaxError, 0},
      {"Select * from [Survey", dbe::SyntaxError, 0},
      {"Select * from []", dbe::SyntaxError, 0},
      {"Select * from \"Survey\"", 0, 5},
      {"select*from \"Survey\"where Pagenumber >= 0", 0, 3},
      {"Select * from \"Survey", dbe::SyntaxError, 0},
      {"Select * from \"Sur\"\"vey\"", dbe::TableNotFound, 0},
      {"Delete from Survey", dbe::SyntaxError, 0},
      {"Select * from Missing", dbe::TableNotFound, 0},
      {"Select * from [Survey where Pagenumber >= 0]", dbe::TableNotFound, 0},
  };
  for (const auto& c : cases) {
    std::unique_ptr<Recordset> rs;
    EXPECT_EQ(ErrorOf([&] { rs = db_->OpenRecordset(c.sql); }), c.error) << c.sql;
    if (rs) {
      EXPECT_EQ(Scan(*rs, "Name").size(), c.rows) << c.sql;
    }
  }
  Sql(path_, "CREATE TABLE NoPages (Name TEXT)");
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from NoPages where PageNumber >= 0"); }),
            dbe::TooFewParameters);
}

TEST_F(DatabaseLayerTest, RowsInRowidOrderAndPageFilterDropsNegativeAndNull) {
  auto all = db_->OpenRecordset("Select * from Survey");
  EXPECT_EQ(Scan(*all, "Name"), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(Scan(*all, "PageNumber"), (std::vector<std::string>{"1", "-1", "0", "2", "<null>"}));
  auto pages = db_->OpenRecordset("Select * from Survey where PageNumber >= 0");
  EXPECT_EQ(Scan(*pages, "Name"), (std::vector<std::string>{"a", "c", "d"}));
}

TEST_F(DatabaseLayerTest, FieldsByNameWithoutRegardToCaseAndNulls) {
  auto rs = db_->OpenRecordset("Select * from Survey");
  EXPECT_EQ(rs->FieldNames(), (std::vector<std::string>{"Name", "PageNumber", "Note"}));
  EXPECT_EQ(rs->FieldsCount(), 3);
  EXPECT_EQ(rs->Field("NAME"), Value("a"));
  EXPECT_EQ(rs->Field("pagenumber"), Value(1));
  EXPECT_TRUE(rs->Field("Note").IsNull());
  EXPECT_EQ(ErrorOf([&] { rs->Field("Note").ToString(); }), 94);
  EXPECT_EQ(ErrorOf([&] { rs->Field("Nam"); }), dbe::ItemNotFound);
}

TEST_F(DatabaseLayerTest, AddedRowJoinsTheScanAndLastModifiedLeadsToIt) {
  auto rs = db_->OpenRecordset("Select * from Survey where PageNumber >= 0");
  rs->MoveNext();  // on "c"
  rs->AddNew();
  rs->SetField("name", "new");
  rs->SetField("PageNumber", -7);  // kept although the filter would drop it
  rs->Update();
  EXPECT_EQ(rs->Field("Name"), Value("c"));
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(rs->Field("Name"), Value("new"));
  EXPECT_EQ(rs->Field("Note"), Value("none"));  // the column's default, read back
  EXPECT_EQ(Scan(*rs, "Name"), (std::vector<std::string>{"a", "c", "d", "new"}));
  auto again = db_->OpenRecordset("Select * from Survey");
  EXPECT_EQ(Scan(*again, "Name").back(), "new");
}

TEST_F(DatabaseLayerTest, AddToEmptyRecordsetStaysEofUntilBookmarked) {
  auto rs = db_->OpenRecordset("Select * from Empty");
  ASSERT_TRUE(rs->Eof());
  rs->AddNew();
  rs->SetField("Name", "first");
  rs->Update();
  EXPECT_TRUE(rs->Eof());
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(rs->Field("Name"), Value("first"));
}

TEST_F(DatabaseLayerTest, EditWritesThroughAndKeepsTheCurrentRow) {
  auto rs = db_->OpenRecordset("Select * from Survey");
  rs->MoveNext();  // "b"
  rs->Edit();
  rs->SetField("Name", "B");
  rs->SetField("Note", Value());
  EXPECT_EQ(rs->Field("Name"), Value("B"));  // the edit buffer
  rs->Update();
  EXPECT_EQ(rs->Field("Name"), Value("B"));
  EXPECT_EQ(rs->Field("PageNumber"), Value(-1));
  rs->Edit();
  rs->SetField("Name", "dropped");
  rs->CancelUpdate();
  EXPECT_EQ(rs->Field("Name"), Value("B"));
  auto fresh = db_->OpenRecordset("Select * from Survey");
  EXPECT_EQ(Scan(*fresh, "Name"), (std::vector<std::string>{"a", "B", "c", "d", "e"}));
  EXPECT_EQ(Scan(*fresh, "Note")[1], "<null>");
}

TEST_F(DatabaseLayerTest, BookmarksLeadBackAndRejectForeignOrGarbage) {
  auto rs = db_->OpenRecordset("Select * from Survey");
  auto other = db_->OpenRecordset("Select * from Survey");
  rs->MoveNext();
  rs->MoveNext();
  const std::string mark = rs->Bookmark();
  rs->MoveFirst();
  rs->SetBookmark(mark);
  EXPECT_EQ(rs->Field("Name"), Value("c"));
  for (const std::string& bad :
       {other->Bookmark(), std::string(), std::string("xyz"), std::string(16, '\x01')})
    EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(bad); }), dbe::InvalidBookmark);
  EXPECT_EQ(rs->Field("Name"), Value("c"));
}

// FindFirst answers the first row with the key whatever order the look-ups
// come in: the row after the last one found is tried first, and must not win
// when an earlier row has the same key.
TEST_F(DatabaseLayerTest, FindFirstGivesTheFirstRowOfAKeyInAnyOrder) {
  Sql(path_,
      "CREATE TABLE Keys (Name, Tag INTEGER);"  // no type: 7 stays a number
      "INSERT INTO Keys VALUES ('x', 0), ('dup', 1), ('Dup', 2), (NULL, 3), ('', 4), ('y', 5), (7, 6);");
  auto upper = [](std::string_view s) {
    std::string u(s);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
  };
  Recordset::KeyFunction key = +upper;
  auto rs = db_->OpenRecordset("Select * from Keys");
  // Each look-up and the Tag of the row it must land on; -1: none.
  const std::vector<std::pair<std::string, int>> lookups = {
      {"X", 0}, {"DUP", 1}, {"DUP", 1}, {"", 4},  {"Y", 5}, {"7", 6}, {"DUP", 1},
      {"X", 0}, {"x", -1},  {"Z", -1},  {"Y", 5}, {"", 4},  {"X", 0},
  };
  for (const auto& [wanted, tag] : lookups) {
    SCOPED_TRACE("looking up '" + wanted + "'");
    EXPECT_EQ(rs->FindFirst("Name", key, wanted), tag >= 0);
    if (tag >= 0)
      EXPECT_EQ(rs->Field("Tag"), Value(tag));
    else
      EXPECT_TRUE(rs->Eof());
  }
  // A row added joins the index; a row whose name changes takes its new key
  // and gives up the old one.
  rs->AddNew();
  rs->SetField("Name", "z");
  rs->SetField("Tag", 7);
  rs->Update();
  ASSERT_TRUE(rs->FindFirst("Name", key, "Z"));
  EXPECT_EQ(rs->Field("Tag"), Value(7));
  ASSERT_TRUE(rs->FindFirst("Name", key, "X"));
  rs->Edit();
  rs->SetField("Name", "w");
  rs->Update();
  EXPECT_FALSE(rs->FindFirst("Name", key, "X"));
  ASSERT_TRUE(rs->FindFirst("Name", key, "W"));
  EXPECT_EQ(rs->Field("Tag"), Value(0));
}

// A bookmark names its row by row id; the place it also carries only saves
// a search, so a row that moved or a place gone wrong still lead home.
TEST_F(DatabaseLayerTest, BookmarkPlaceIsOnlyAHint) {
  auto rs = db_->OpenRecordset("Select * from Survey");
  rs->MoveNext();
  rs->MoveNext();
  std::string mark = rs->Bookmark();  // "c"
  // Recordset number (4 bytes), row id (8), place (3): short enough for a
  // string to hold without an allocation.
  ASSERT_EQ(mark.size(), 15u);
  for (const char wrong : {'\0', '\x04', '\x7f'}) {
    std::string moved = mark;
    moved.replace(12, 3, 3, '\0');
    moved[12] = wrong;
    rs->MoveFirst();
    rs->SetBookmark(moved);
    EXPECT_EQ(rs->Field("Name"), Value("c"));
  }
  std::string otherRow = mark;
  otherRow[4] = '\x09';  // row id 9: no such row, whatever the place says
  EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(otherRow); }), dbe::InvalidBookmark);
}

TEST_F(DatabaseLayerTest, NoCurrentRecord) {
  auto empty = db_->OpenRecordset("Select * from Empty");
  auto rs = db_->OpenRecordset("Select * from Survey");
  while (!rs->Eof()) rs->MoveNext();
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"MoveFirst empty", [&] { empty->MoveFirst(); }},
      {"MoveNext empty", [&] { empty->MoveNext(); }},
      {"Field empty", [&] { empty->Field("Name"); }},
      {"Edit empty", [&] { empty->Edit(); }},
      {"Bookmark empty", [&] { empty->Bookmark(); }},
      {"LastModified", [&] { rs->LastModified(); }},
      {"MoveNext at Eof", [&] { rs->MoveNext(); }},
      {"Field at Eof", [&] { rs->Field("Name"); }},
      {"Edit at Eof", [&] { rs->Edit(); }},
  };
  for (const auto& [what, call] : cases) EXPECT_EQ(ErrorOf(call), dbe::NoCurrentRecord) << what;
}

TEST_F(DatabaseLayerTest, UpdateWithoutEditOrAddNew) {
  auto rs = db_->OpenRecordset("Select * from Survey");
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), dbe::UpdateWithoutEdit);
  EXPECT_EQ(ErrorOf([&] { rs->CancelUpdate(); }), dbe::UpdateWithoutEdit);
  EXPECT_EQ(ErrorOf([&] { rs->SetField("Name", "x"); }), dbe::UpdateWithoutEdit);
  rs->Edit();
  rs->Update();
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), dbe::UpdateWithoutEdit);
  rs->Edit();
  rs->MoveNext();  // moving drops the edit
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), dbe::UpdateWithoutEdit);
}

TEST_F(DatabaseLayerTest, CreatedTableRefusesLongAndEmptyTextAlsoForOtherConnections) {
  TableDef def = db_->CreateTableDef("Made");
  def.AppendField(def.CreateField("Short", dbText, 255));
  FieldDef blank = def.CreateField("Blank", dbText, 3);
  blank.AllowZeroLength = true;
  def.AppendField(blank);
  db_->AppendTableDef(def);
  EXPECT_EQ(db_->TableDefName(db_->TableDefsCount() - 1), "Made");
  EXPECT_EQ(ErrorOf([&] { db_->AppendTableDef(def); }), dbe::TableExists);
  def.Name = "MADE";
  EXPECT_EQ(ErrorOf([&] { db_->AppendTableDef(def); }), dbe::TableExists);

  std::string e255;
  for (int i = 0; i < 255; ++i) e255 += "\xc3\xa9";  // 255 characters, 510 bytes
  auto rs = db_->OpenRecordset("Select * from Made");
  auto add = [&](const Value& shortValue, const Value& blankValue) {
    return ErrorOf([&] {
      rs->AddNew();
      rs->SetField("Short", shortValue);
      rs->SetField("Blank", blankValue);
      rs->Update();
    });
  };
  EXPECT_EQ(add(e255, ""), 0);
  EXPECT_EQ(add(e255 + "x", "a"), dbe::FieldTooSmall);
  EXPECT_EQ(add("a", "abcd"), dbe::FieldTooSmall);
  EXPECT_EQ(add("", "a"), dbe::ZeroLength);
  EXPECT_EQ(Describe([&] { rs->Update(); }), "Field 'Made.Short' cannot be a zero-length string.");
  rs->CancelUpdate();
  EXPECT_EQ(add(Value(), Value()), 0);
  EXPECT_EQ(Scan(*rs, "Blank"), (std::vector<std::string>{"", "<null>"}));

  EXPECT_NE(Sql(path_, "INSERT INTO Made (Short) VALUES ('')"), SQLITE_OK);
  EXPECT_NE(Sql(path_, "INSERT INTO Made (Short) VALUES ('" + e255 + "x')"), SQLITE_OK);
  auto later = DBEngine::CreateWorkspace("later", "", "", dbUseDefault);
  auto laterDb = later->OpenDatabase(path_);
  auto rs2 = laterDb->OpenRecordset("Select * from Made");
  rs2->Edit();
  rs2->SetField("Short", "");
  EXPECT_EQ(ErrorOf([&] { rs2->Update(); }), dbe::ZeroLength);
}

TEST_F(DatabaseLayerTest, RollbackLeavesTheFileAsItWas) {
  auto rs = db_->OpenRecordset("Select * from Survey");
  const std::string before = Bytes(path_);
  workspace_->BeginTrans();
  rs->Edit();
  rs->SetField("Name", "changed");
  rs->Update();
  rs->AddNew();
  rs->Update();
  TableDef def = db_->CreateTableDef("During");
  def.AppendField(def.CreateField("F", dbText, 10));
  db_->AppendTableDef(def);
  auto during = db_->OpenRecordset("Select * from During");
  workspace_->Rollback();
  EXPECT_TRUE(Bytes(path_) == before);
  EXPECT_EQ(ErrorOf([&] { during->Eof(); }), dbe::ObjectClosed);
  EXPECT_EQ(Scan(*rs, "Name"), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(ErrorOf([&] { workspace_->Rollback(); }), dbe::NoTransaction);

  workspace_->BeginTrans();
  rs->MoveFirst();
  rs->Edit();
  rs->SetField("Name", "kept");
  rs->Update();
  workspace_->CommitTrans();
  auto other = DBEngine::CreateWorkspace("other", "", "", dbUseDefault);
  EXPECT_EQ(other->OpenDatabase(path_)->OpenRecordset("Select * from Survey")->Field("Name"), Value("kept"));
}

// Inside a transaction, edits of text fields that no rule can refuse wait
// and are written together; whatever reads the file sees them all the same.
TEST_F(DatabaseLayerTest, HeldBackEditsAreSeenByLaterReadersAndCommitOrRollBackWhole) {
  ASSERT_EQ(Sql(path_,
                "CREATE TABLE Ruled (Name TEXT, Short TEXT CHECK (length(Short) < 4))"
                "; INSERT INTO Ruled VALUES ('r', 'ok');"
                "CREATE TABLE Computed (Name TEXT, Upper TEXT AS (upper(Name))); INSERT INTO Computed VALUES "
                "('c')"),
            SQLITE_OK);
  auto rs = db_->OpenRecordset("Select * from Survey");
  auto ruled = db_->OpenRecordset("Select * from Ruled");
  auto computed = db_->OpenRecordset("Select * from Computed");
  workspace_->BeginTrans();
  for (const char* note : {"first", "second"}) {
    rs->Edit();
    rs->SetField("Note", note);
    rs->Update();
  }
  rs->Edit();
  rs->SetField("Name", "A");
  rs->Update();
  EXPECT_EQ(rs->Field("Note"), Value("second"));
  // A rule of the table still refuses at the edit itself.
  ruled->Edit();
  ruled->SetField("Short", "too long");
  EXPECT_NE(ErrorOf([&] { ruled->Update(); }), 0);
  // So does a field SQLite computes, which no one may write.
  computed->Edit();
  computed->SetField("Upper", "x");
  EXPECT_NE(ErrorOf([&] { computed->Update(); }), 0);
  auto second = workspace_->OpenDatabase(path_);
  auto reader = second->OpenRecordset("Select * from Survey");
  EXPECT_EQ(reader->Field("Name"), Value("A"));
  EXPECT_EQ(reader->Field("Note"), Value("second"));
  workspace_->Rollback();
  EXPECT_EQ(Scan(*rs, "Note")[0], "<null>");

  workspace_->BeginTrans();
  rs->MoveFirst();
  rs->Edit();
  rs->SetField("Note", "kept");
  rs->Update();
  rs->Close();  // its edit stands
  workspace_->CommitTrans();
  EXPECT_EQ(ScanFresh("Survey", "Note")[0], "kept");
}

// An edit held back that cannot be written when the transaction commits
// fails the commit, and nothing of the transaction is kept.
TEST_F(DatabaseLayerTest, HeldBackEditThatCannotBeWrittenFailsTheCommitAndKeepsNothing) {
  auto rs = db_->OpenRecordset("Select * from Survey");
  workspace_->BeginTrans();
  rs->Edit();
  rs->SetField("Note", "held");
  rs->Update();
  sqlite3* other = nullptr;
  sqlite3_open(path_.c_str(), &other);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const std::string before = Bytes(path_);
  EXPECT_EQ(ErrorOf([&] { workspace_->CommitTrans(); }), dbe::Locked);  // after the 5 s busy wait
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_TRUE(Bytes(path_) == before);
  EXPECT_EQ(Scan(*rs, "Note")[0], "<null>");
  EXPECT_EQ(ErrorOf([&] { workspace_->CommitTrans(); }), dbe::NoTransaction);
}

// A table of `rows` rows named r0, r1, ... with an empty Note.
void MakeRows(const std::string& path, int rows) {
  std::string sql = "CREATE TABLE Big (Name TEXT, Note TEXT); INSERT INTO Big VALUES ('r0', NULL)";
  for (int i = 1; i < rows; ++i) sql += ", ('r" + std::to_string(i) + "', NULL)";
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, (sql + ";").c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// Enough edits held back that the layer writes them while the caller goes
// on, in several batches: every edit reaches the file, later edits of a row
// win over earlier ones wherever they were written, and a rollback keeps
// none of them.
TEST_F(DatabaseLayerTest, ManyHeldBackEditsAllReachTheFileOrNoneDo) {
  constexpr int kRows = 9000;
  MakeRows(path_, kRows);
  const std::string before = Bytes(path_);
  auto rs = db_->OpenRecordset("Select * from Big");
  auto editAll = [&](const std::string& prefix) {
    rs->MoveFirst();
    for (int i = 0; !rs->Eof(); rs->MoveNext(), ++i) {
      rs->Edit();
      rs->SetField("Note", prefix + std::to_string(i));
      rs->Update();
    }
  };
  workspace_->BeginTrans();
  editAll("first ");
  workspace_->Rollback();
  EXPECT_TRUE(Bytes(path_) == before);
  EXPECT_EQ(Scan(*rs, "Note")[kRows - 1], "<null>");

  workspace_->BeginTrans();
  editAll("n");
  // Rows written long ago are edited again, then one in the middle.
  rs->MoveFirst();
  rs->Edit();
  rs->SetField("Note", "again");
  rs->Update();
  ASSERT_TRUE(rs->FindFirst(
      "Name", [](std::string_view s) { return std::string(s); }, "r4500"));
  rs->Edit();
  rs->SetField("Note", "middle");
  rs->Update();
  workspace_->CommitTrans();

  const std::vector<std::string> notes = ScanFresh("Big", "Note");
  ASSERT_EQ(notes.size(), static_cast<std::size_t>(kRows));
  for (int i = 0; i < kRows; ++i) {
    const std::string expected = i == 0 ? "again" : i == 4500 ? "middle" : "n" + std::to_string(i);
    ASSERT_EQ(notes[static_cast<std::size_t>(i)], expected) << "row " << i;
  }
}

// A write that fails while the caller goes on fails the commit, and
// nothing of the transaction is kept.
TEST_F(DatabaseLayerTest, HeldBackEditsFailingInTheBackgroundFailTheCommit) {
  constexpr int kRows = 5000;
  MakeRows(path_, kRows);
  auto rs = db_->OpenRecordset("Select * from Big");
  sqlite3* other = nullptr;
  sqlite3_open(path_.c_str(), &other);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const std::string before = Bytes(path_);
  workspace_->BeginTrans();
  int raisedAt = -1;
  for (int i = 0; !rs->Eof(); rs->MoveNext(), ++i) {
    rs->Edit();
    rs->SetField("Note", "lost " + std::to_string(i));
    // The failure surfaces at a later edit, or at the commit (after the 5 s
    // busy wait of the first write).
    if (ErrorOf([&] { rs->Update(); }) != 0) {
      raisedAt = i;
      break;
    }
  }
  if (raisedAt < 0) {
    EXPECT_EQ(ErrorOf([&] { workspace_->CommitTrans(); }), dbe::Locked);
  }
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  if (raisedAt >= 0) {
    // The transaction is broken: it can only be rolled back, whatever the
    // file allows now.
    EXPECT_EQ(ErrorOf([&] { workspace_->CommitTrans(); }), dbe::Locked);
  }
  EXPECT_TRUE(Bytes(path_) == before);
  EXPECT_EQ(Scan(*rs, "Note")[0], "<null>");
}

// Edits held back by a recordset are written when it goes without Close,
// and edits of one row through two recordsets keep the order they were
// made in.
TEST_F(DatabaseLayerTest, HeldBackEditsOutliveTheirRecordsetAndKeepTheirOrder) {
  workspace_->BeginTrans();
  {
    auto first = db_->OpenRecordset("Select * from Survey");
    auto second = db_->OpenRecordset("Select * from Survey");
    for (auto* rs : {first.get(), second.get(), first.get()}) {
      rs->Edit();
      rs->SetField("Note", rs == first.get() ? "by first" : "by second");
      rs->Update();
    }
    first->Edit();
    first->SetField("Name", "last");
    first->Update();
  }
  workspace_->CommitTrans();
  EXPECT_EQ(ScanFresh("Survey", "Note")[0], "by first");
  EXPECT_EQ(ScanFresh("Survey", "Name")[0], "last");
}

// The tables known to the layer follow its own creations, rollbacks (which
// bring back an earlier schema version number) and other programs.
TEST_F(DatabaseLayerTest, TableListFollowsCreationsRollbacksAndOtherPrograms) {
  auto names = [&] {
    std::vector<std::string> all;
    for (int i = 0; i < db_->TableDefsCount(); ++i) all.push_back(db_->TableDefName(i));
    return all;
  };
  auto create = [&](const std::string& name) {
    TableDef def = db_->CreateTableDef(name);
    def.AppendField(def.CreateField("F", dbText, 10));
    db_->AppendTableDef(def);
  };
  workspace_->BeginTrans();
  create("During");
  EXPECT_EQ(names(), (std::vector<std::string>{"Survey", "Empty", "During"}));
  EXPECT_EQ(ErrorOf([&] { create("during"); }), dbe::TableExists);
  workspace_->Rollback();
  EXPECT_EQ(names(), (std::vector<std::string>{"Survey", "Empty"}));
  workspace_->BeginTrans();
  create("Later");
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from During"); }), dbe::TableNotFound);
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from LATER"); }), 0);
  workspace_->CommitTrans();
  // In creation order, without views, indexes or SQLite's own tables.
  ASSERT_EQ(Sql(path_,
                "CREATE TABLE Outside (x); CREATE VIEW V AS SELECT 1; CREATE INDEX I ON Outside (x);"
                "CREATE TABLE Alpha (id INTEGER PRIMARY KEY AUTOINCREMENT);"),
            SQLITE_OK);
  EXPECT_EQ(names(), (std::vector<std::string>{"Survey", "Empty", "Later", "Outside", "Alpha"}));
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from Outside"); }), 0);
  EXPECT_EQ(ErrorOf([&] { db_->TableDefName(5); }), dbe::ItemNotFound);
  EXPECT_EQ(ErrorOf([&] { db_->TableDefName(-1); }), dbe::ItemNotFound);
}

TEST_F(DatabaseLayerTest, SameFileTwiceSharesOneTransaction) {
  auto second = workspace_->OpenDatabase(path_);
  workspace_->BeginTrans();
  auto a = db_->OpenRecordset("Select * from Survey");
  auto b = second->OpenRecordset("Select * from Empty");
  a->Edit();
  a->SetField("Name", "x");
  a->Update();
  b->AddNew();
  EXPECT_EQ(ErrorOf([&] { b->Update(); }), 0);  // no lock against itself
  workspace_->Rollback();
  EXPECT_EQ(Scan(*b, "Name").size(), 0u);
}

TEST_F(DatabaseLayerTest, LockedByAnotherProgram) {
  auto rs = db_->OpenRecordset("Select * from Survey");
  sqlite3* other = nullptr;
  sqlite3_open(path_.c_str(), &other);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  rs->Edit();
  rs->SetField("Name", "x");
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), dbe::Locked);  // after the 5 s busy wait
  sqlite3_close(other);
}

TEST_F(DatabaseLayerTest, TableNameWithDoubleQuoteAndBlank) {
  TableDef def = db_->CreateTableDef("my \"odd\" view");
  def.AppendField(def.CreateField("a\"b", dbText, 20));
  db_->AppendTableDef(def);
  auto rs = db_->OpenRecordset("Select * from [my \"odd\" view]");
  rs->AddNew();
  rs->SetField("A\"B", "value");
  rs->Update();
  auto again = db_->OpenRecordset("select * from [MY \"ODD\" VIEW]");
  EXPECT_EQ(Scan(*again, "a\"b"), std::vector<std::string>{"value"});
  EXPECT_EQ(db_->TableDefName(2), "my \"odd\" view");
}

TEST_F(DatabaseLayerTest, TablesTheLayerCannotOpen) {
  Sql(path_,
      "CREATE TABLE Keyed (k TEXT PRIMARY KEY, PageNumber INTEGER) WITHOUT ROWID;"
      "CREATE VIEW Shown AS SELECT * FROM Survey;");
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from Keyed"); }), dbe::Engine);
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from Shown"); }), dbe::Engine);
}

TEST_F(DatabaseLayerTest, FieldCalledRowidDoesNotHideTheRowId) {
  Sql(path_, "CREATE TABLE R (rowid TEXT, v TEXT); INSERT INTO R VALUES ('x', '1'), ('y', '2');");
  auto rs = db_->OpenRecordset("Select * from R");
  rs->MoveNext();
  const std::string mark = rs->Bookmark();
  rs->Edit();
  rs->SetField("v", "changed");
  rs->Update();
  rs->MoveFirst();
  rs->SetBookmark(mark);
  EXPECT_EQ(rs->Field("RowId"), Value("y"));
  auto fresh = db_->OpenRecordset("Select * from R");
  EXPECT_EQ(Scan(*fresh, "v"), (std::vector<std::string>{"1", "changed"}));
}

TEST_F(DatabaseLayerTest, EditingTheKeyThatIsTheRowIdKeepsTheRowReachable) {
  Sql(path_, "CREATE TABLE K (Id INTEGER PRIMARY KEY, v TEXT); INSERT INTO K VALUES (1, 'x'), (2, 'y');");
  auto rs = db_->OpenRecordset("Select * from K");
  rs->Edit();
  rs->SetField("Id", 10);
  rs->Update();
  EXPECT_EQ(rs->Field("v"), Value("x"));
  rs->MoveNext();
  rs->MoveFirst();
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(rs->Field("Id"), Value(10));
}

TEST_F(DatabaseLayerTest, UseAfterCloseRaisesObjectClosed) {
  auto rs = db_->OpenRecordset("Select * from Survey");
  auto kept = db_->OpenRecordset("Select * from Survey");
  rs->Close();
  EXPECT_EQ(ErrorOf([&] { rs->Eof(); }), dbe::ObjectClosed);
  EXPECT_EQ(ErrorOf([&] { rs->Close(); }), dbe::ObjectClosed);
  db_->Close();
  EXPECT_EQ(ErrorOf([&] { kept->Field("Name"); }), dbe::ObjectClosed);
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from Survey"); }), dbe::ObjectClosed);
  auto db = workspace_->OpenDatabase(path_);
  workspace_->Close();
  EXPECT_EQ(ErrorOf([&] { db->TableDefsCount(); }), dbe::ObjectClosed);
  EXPECT_EQ(ErrorOf([&] { workspace_->OpenDatabase(path_); }), dbe::ObjectClosed);
  EXPECT_EQ(DBEngine::Workspaces(0).Name(), "#Default Workspace#");
  EXPECT_EQ(ErrorOf([] { DBEngine::Workspaces(1); }), dbe::ItemNotFound);
}

TEST(DatabaseLayerValue, ToStringAndEquality) {
  const std::pair<Value, std::string> texts[] = {
      {Value(2.5), "2.5"},
      {Value(3.0), "3"},
      {Value(0.1), "0.1"},
      {Value(-7), "-7"},
      {Value(1LL << 40), "1099511627776"},
      {Value("text"), "text"},
      {Value(""), ""},
  };
  for (const auto& [value, text] : texts) EXPECT_EQ(value.ToString(), text);
  EXPECT_EQ(Value(3), Value(3.0));
  EXPECT_FALSE(Value(3) == Value(3.5));
  EXPECT_FALSE(Value("3") == Value(3));
  EXPECT_EQ(Value(), Value());
  EXPECT_FALSE(Value() == Value(""));
  EXPECT_TRUE(Value(static_cast<const char*>(nullptr)).IsNull());
}

}  // namespace
