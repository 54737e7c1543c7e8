// The database layer against real SQLite files in a temporary folder.
#include "services/dao.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>

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

using namespace testing_support;
using V = std::vector<std::string>;

class DatabaseLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    execSql(path_,
            "CREATE TABLE Survey (Name TEXT, PageNumber INTEGER, Note TEXT DEFAULT 'none');"
            "INSERT INTO Survey (rowid, Name, PageNumber, Note) VALUES (3, 'c', 0, 'n'), (1, 'a', 1, NULL),"
            " (2, 'b', -1, 'n'), (5, 'e', NULL, 'n'), (4, 'd', 2, 'n');"
            "CREATE TABLE Empty (Name TEXT, PageNumber INTEGER);");
    workspace_ = DBEngine::CreateWorkspace("test", "", "", dbUseDefault);
    // A wait for another program's lock ends as the default 10 s one does, only sooner.
    workspace_->SetLockWait(kLockWait, [this] { ++lockWaits_; });
    db_ = workspace_->OpenDatabase(path_);
  }

  // Edits one field of the current row.
  static void Set(Recordset& rs, const std::string& field, const Value& value) {
    rs.Edit();
    rs.SetField(field, value);
    rs.Update();
  }

  // A table of `rows` rows named r0, r1, ... with an empty Note.
  void MakeRows(const std::string& table, int rows) const {
    std::string sql =
        "CREATE TABLE " + table + " (Name TEXT, Note TEXT); INSERT INTO " + table + " VALUES ('r0', NULL)";
    for (int i = 1; i < rows; ++i) sql += ", ('r" + std::to_string(i) + "', NULL)";
    execSql(path_, sql);
  }

  // The field's values from the first row to Eof; Null reads as "<null>".
  static V Scan(Recordset& rs, const std::string& field) {
    V values;
    if (ErrorOf([&] { rs.MoveFirst(); }) == dbe::NoCurrentRecord) return values;
    for (; !rs.Eof(); rs.MoveNext()) {
      const Value v = rs.Field(field);
      values.push_back(v.IsNull() ? "<null>" : v.ToString());
    }
    return values;
  }

  // The field's values as a workspace of its own reads them from the file.
  V ScanFresh(const std::string& table, const std::string& field) const {
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

  static constexpr std::chrono::milliseconds kLockWait{400};
  std::atomic<int> lockWaits_ = 0;
  testing_support::TempDir tmp_;
  fs::path dir_ = tmp_.path();
  std::string path_ = tmp_.file("views.db");
  std::unique_ptr<Workspace> workspace_;
  std::unique_ptr<Database> db_;
};

TEST_F(DatabaseLayerTest, OpenFailures) {
  tmp_.write("text.db", "not a database at all, just some text that is long enough\n");
  tmp_.write("empty.db", "");
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
              Set(*rs, "Name", "x");
            }),
            std::to_string(dbe::ReadOnly));
}

// The two forms of query, the second without the rows of a negative or Null
// page, in rowid order.
TEST_F(DatabaseLayerTest, AcceptsOnlyTheTwoQueryForms) {
  const struct {
    const char* sql;
    int error;
    const char* names;  // in rowid order
  } cases[] = {
      {"Select * from Survey", 0, "a b c d e"},
      {"  SELECT\t*\n FROM   survey  ", 0, "a b c d e"},
      {"select * from [Survey]", 0, "a b c d e"},
      {"select*from [Survey] WHERE PAGENUMBER>=0", 0, "a c d"},
      {"Select Name from Survey", dbe::SyntaxError, ""},
      {"Select * from Survey where PageNumber >= 1", dbe::SyntaxError, ""},
      {"Select * from \"Survey\"", 0, "a b c d e"},
      {"select*from \"Survey\"where Pagenumber >= 0", 0, "a c d"},
      {"Select * from \"Survey", dbe::SyntaxError, ""},
      {"Select * from \"Sur\"\"vey\"", dbe::TableNotFound, ""},
      {"Select * from Missing", dbe::TableNotFound, ""},
      {"Select * from [Survey where Pagenumber >= 0]", dbe::TableNotFound, ""},
      {"Select * from NoPages where PageNumber >= 0", dbe::TooFewParameters, ""},
      {"Select * from Odd", 0, "b a"},  // a field named RowID hides the name, not the order
  };
  execSql(path_,
          "CREATE TABLE NoPages (Name TEXT); CREATE TABLE Odd (Name TEXT, RowID TEXT);"
          "INSERT INTO Odd (_rowid_, Name, RowID) VALUES (7, 'a', 'm'), (2, 'b', 'z')");
  for (const auto& c : cases) {
    std::unique_ptr<Recordset> rs;
    EXPECT_EQ(ErrorOf([&] { rs = db_->OpenRecordset(c.sql); }), c.error) << c.sql;
    std::string names;
    if (rs)
      for (const auto& name : Scan(*rs, "NAME")) names += (names.empty() ? "" : " ") + name;
    EXPECT_EQ(names, c.names) << c.sql;
  }
}

TEST_F(DatabaseLayerTest, AddedRowJoinsTheScanAndLastModifiedLeadsToIt) {
  auto rs = db_->OpenRecordset("Select * from Survey where PageNumber >= 0");
  rs->MoveNext();  // on "c"
  rs->AddNew();
  rs->SetField("name", "new");
  // A value given up is taken only once it is set: a field that is not
  // there leaves it to the caller.
  Value kept("kept");
  EXPECT_EQ(ErrorOf([&] { rs->SetField("NoSuchField", std::move(kept)); }), dbe::ItemNotFound);
  EXPECT_EQ(kept, Value("kept"));
  rs->SetField("PageNumber", -7);  // kept although the filter would drop it
  rs->Update();
  EXPECT_EQ(rs->Field("Name"), Value("c"));
  rs->SetBookmark(rs->LastModified());
  EXPECT_EQ(Scan(*rs, "Name"), (V{"a", "c", "d", "new"}));
  EXPECT_EQ(ScanFresh("Survey", "Name").back(), "new");
}

// A row added reads back as the file holds it, whatever in the table's
// definition gives a field a value of its own or changes the one written.
TEST_F(DatabaseLayerTest, AddedRowsReadAsTheFileHoldsThem) {
  for (const auto& [table, definition] : std::vector<std::pair<std::string, std::string>>{
           {"Defaulted", "(Name TEXT, Other TEXT DEFAULT 'none')"},
           {"Keyed", "(Id INTEGER PRIMARY KEY, Name TEXT, Other TEXT)"},
           {"Computed", "(Name TEXT, Other TEXT AS (Name || '!'))"},
           {"Numeric", "(Name NUMERIC, Other TEXT)"}}) {
    SCOPED_TRACE(table);
    execSql(path_, "CREATE TABLE " + table + " " + definition);
    auto rs = db_->OpenRecordset("Select * from " + table);
    rs->AddNew();
    rs->SetField("Name", "12");
    rs->Update();
    rs->SetBookmark(rs->LastModified());
    auto other = DBEngine::CreateWorkspace("other", "", "", dbUseDefault);
    auto otherDb = other->OpenDatabase(path_);
    auto fresh = otherDb->OpenRecordset("Select * from " + table);
    for (const auto& field : rs->FieldNames()) EXPECT_EQ(rs->Field(field), fresh->Field(field)) << field;
  }
  // A row that a rule of the table drops is not held as added.
  execSql(path_, "CREATE TABLE Once (Name TEXT UNIQUE ON CONFLICT IGNORE); INSERT INTO Once VALUES ('12')");
  auto once = db_->OpenRecordset("Select * from Once");
  once->AddNew();
  once->SetField("Name", "12");
  EXPECT_EQ(ErrorOf([&] { once->Update(); }), dbe::RecordDeleted);
}

// FindFirst answers the first row with the key whatever order the look-ups
// come in: the row after the last one found is tried first, and must not win
// when an earlier row has the same key.
TEST_F(DatabaseLayerTest, FindFirstGivesTheFirstRowOfAKeyInAnyOrder) {
  execSql(path_,
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
  Set(*rs, "Name", "w");
  EXPECT_FALSE(rs->FindFirst("Name", key, "X"));
  ASSERT_TRUE(rs->FindFirst("Name", key, "W"));
  EXPECT_EQ(rs->Field("Tag"), Value(0));
}

TEST_F(DatabaseLayerTest, CreatedTableRefusesLongAndEmptyTextAlsoForOtherConnections) {
  TableDef def = db_->CreateTableDef("Made");
  def.AppendField(def.CreateField("Short", dbText, 255));
  FieldDef blank = def.CreateField("Blank", dbText, 3);
  blank.AllowZeroLength = true;
  def.AppendField(blank);
  db_->AppendTableDef(def);

  std::string e255;
  for (int i = 0; i < 255; ++i) e255 += "\xc3\xa9";  // 255 characters, 510 bytes
  auto rs = db_->OpenRecordset("Select * from Made");
  const struct {
    Value shortValue, blankValue;
    int error;
  } adds[] = {
      {e255, "", 0},
      {e255 + "x", "a", dbe::FieldTooSmall},
      {"a", "abcd", dbe::FieldTooSmall},
      {"", "a", dbe::ZeroLength},
      {Value(), Value(), 0},
  };
  for (const auto& add : adds) {
    rs->AddNew();
    rs->SetField("Short", add.shortValue);
    rs->SetField("Blank", add.blankValue);
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), add.error) << &add - adds;
    if (add.error) rs->CancelUpdate();
  }
  EXPECT_EQ(Scan(*rs, "Blank"), (V{"", "<null>"}));
  EXPECT_ANY_THROW(execSql(path_, "INSERT INTO Made (Short) VALUES ('')"));
  EXPECT_ANY_THROW(execSql(path_, "INSERT INTO Made (Short) VALUES ('" + e255 + "x')"));
}

// Inside a transaction, edits of text fields that no rule can refuse wait
// and are written together; whatever reads the file sees them all the same.
TEST_F(DatabaseLayerTest, HeldBackEditsAreSeenByLaterReadersAndCommitOrRollBackWhole) {
  execSql(path_,
          "CREATE TABLE Computed (Name TEXT, Upper TEXT AS (upper(Name))); INSERT INTO Computed VALUES ('c');"
          "CREATE TABLE Ruled (Short TEXT CHECK (length(Short) < 4)); INSERT INTO Ruled VALUES ('ok')");
  auto rs = db_->OpenRecordset("Select * from Survey");
  auto computed = db_->OpenRecordset("Select * from Computed");
  auto ruled = db_->OpenRecordset("Select * from Ruled");
  workspace_->BeginTrans();
  for (const char* note : {"first", "second"}) Set(*rs, "Note", note);
  Set(*rs, "Name", "A");
  EXPECT_EQ(rs->Field("Note"), Value("second"));
  // A rule of the table, or a field SQLite computes, still refuses at the edit itself.
  ruled->Edit();
  ruled->SetField("Short", "too long");
  EXPECT_NE(ErrorOf([&] { ruled->Update(); }), 0);
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
  Set(*rs, "Note", "kept");
  rs->Close();  // its edit stands
  workspace_->CommitTrans();
  EXPECT_EQ(ScanFresh("Survey", "Note")[0], "kept");
}

// Edits held back whose writing fails, at the commit or while the caller
// goes on, fail the commit (after the lock wait), and nothing of the
// transaction is kept.
TEST_F(DatabaseLayerTest, HeldBackEditsThatCannotBeWrittenFailTheCommitAndKeepNothing) {
  for (const int rows : {1, 5000}) {
    SCOPED_TRACE(std::to_string(rows) + " edits");
    MakeRows("Rows" + std::to_string(rows), rows);
    auto rs = db_->OpenRecordset("Select * from Rows" + std::to_string(rows));
    sqlite3* other = nullptr;
    sqlite3_open(path_.c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::string before = Bytes(path_);
    workspace_->BeginTrans();
    bool raised = false;  // at a later edit, or else at the commit
    for (; !rs->Eof(); rs->MoveNext()) {
      rs->Edit();
      rs->SetField("Note", "lost");
      if ((raised = ErrorOf([&] { rs->Update(); }) != 0)) break;
    }
    EXPECT_FALSE(rows == 1 && raised) << "one edit is held back until the commit";
    if (!raised) {
      EXPECT_EQ(ErrorOf([&] { workspace_->CommitTrans(); }), dbe::Locked);
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    // A broken transaction can only be rolled back, whatever the file allows now.
    EXPECT_EQ(ErrorOf([&] { workspace_->CommitTrans(); }), raised ? dbe::Locked : dbe::NoTransaction);
    EXPECT_TRUE(Bytes(path_) == before);
    EXPECT_EQ(Scan(*rs, "Note")[0], "<null>");
  }
}

// An edit that a unique index may refuse is written at once, so that the
// refusal comes with it; a field under an index that is not unique waits.
TEST_F(DatabaseLayerTest, AnEditThatAUniqueIndexRefusesFailsAtOnceInATransaction) {
  execSql(path_,
          "CREATE TABLE Keyed (Name TEXT, Note TEXT); CREATE UNIQUE INDEX KeyedName ON Keyed (Name);"
          "CREATE INDEX KeyedNote ON Keyed (Note); INSERT INTO Keyed VALUES ('a', 'x'), ('b', 'y')");
  auto rs = db_->OpenRecordset("Select * from Keyed");
  workspace_->BeginTrans();
  rs->MoveNext();
  rs->Edit();
  rs->SetField("Name", "a");
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), dbe::Engine);
  rs->CancelUpdate();
  Set(*rs, "Note", "x");
  workspace_->CommitTrans();
  EXPECT_EQ(ScanFresh("Keyed", "Name"), (V{"a", "b"}));
  EXPECT_EQ(ScanFresh("Keyed", "Note"), (V{"x", "x"}));
}

// Enough edits held back that the layer writes them while the caller goes
// on, in several batches: every edit reaches the file, later edits of a row
// win over earlier ones wherever they were written, and a rollback keeps
// none of them. The notes are long: rows written let go of them, and are
// found by them and read them back all the same.
TEST_F(DatabaseLayerTest, ManyHeldBackEditsAllReachTheFileOrNoneDo) {
  constexpr int kRows = 9000;
  MakeRows("Big", kRows);
  const std::string before = Bytes(path_);
  auto note = [](int i) { return std::string(64, '.') + std::to_string(i); };
  auto rs = db_->OpenRecordset("Select * from Big");
  for (const bool commit : {false, true}) {
    workspace_->BeginTrans();
    rs->MoveFirst();
    for (int i = 0; !rs->Eof(); rs->MoveNext(), ++i) Set(*rs, "Note", note(i));
    if (commit) break;
    ASSERT_TRUE(rs->FindFirst(
        "Note", [](std::string_view s) { return std::string(s); }, note(0)));
    workspace_->Rollback();
    EXPECT_TRUE(Bytes(path_) == before);
    EXPECT_EQ(Scan(*rs, "Note")[kRows - 1], "<null>");
  }
  // Rows written long ago are edited again, then one in the middle.
  rs->MoveFirst();
  Set(*rs, "Note", "again");
  const V held = Scan(*rs, "Note");
  for (int i = 0; i < kRows; ++i) ASSERT_EQ(held[static_cast<std::size_t>(i)], i == 0 ? "again" : note(i));
  ASSERT_TRUE(rs->FindFirst(
      "Name", [](std::string_view s) { return std::string(s); }, "r4500"));
  Set(*rs, "Note", "middle");
  EXPECT_EQ(db_->RowsChanged(), kRows);  // rows written twice count once
  workspace_->CommitTrans();
  const V notes = ScanFresh("Big", "Note");
  ASSERT_EQ(notes.size(), static_cast<std::size_t>(kRows));
  for (int i = 0; i < kRows; ++i)
    ASSERT_EQ(notes[static_cast<std::size_t>(i)], i == 0 ? "again" : i == 4500 ? "middle" : note(i));
}

// A large recordset opened with a field to read first holds the rows a
// whole reading gives, whatever uses the connection while the rows' other
// fields are still being read; a rollback then reads them again.
TEST_F(DatabaseLayerTest, RowsReadInTwoStepsAreTheRowsReadWhole) {
  constexpr int kRows = 20000;
  execSql(path_,
          "CREATE TABLE Big (Name TEXT, PageNumber INTEGER, Note TEXT); WITH RECURSIVE n(i) AS"
          " (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
              std::to_string(kRows - 1) + ") INSERT INTO Big SELECT 'r' || i, i % 4 - 1, 'n' || i FROM n;");
  V names, notes;  // rows with PageNumber -1 (every fourth) are left out
  for (int i = 0; i < kRows; ++i)
    if (i % 4) names.push_back("r" + std::to_string(i)), notes.push_back("n" + std::to_string(i));
  const auto same = +[](std::string_view s) { return std::string(s); };
  const struct {
    const char* meanwhile;
    std::function<void(Recordset&)> act;
    std::string lastName, lastNote;  // of the last row afterwards
  } cases[] = {
      {"nothing", [](Recordset&) {}, names.back(), notes.back()},
      {"an edit of the last row",
       [&](Recordset& rs) {
         ASSERT_TRUE(rs.FindFirst("Name", same, names.back()));
         Set(rs, "Note", "edited");
       },
       names.back(), "edited"},
      {"a row added",
       [](Recordset& rs) {
         rs.AddNew();
         rs.SetField("Name", "added");
         rs.SetField("PageNumber", Value(0));
         rs.Update();
         rs.SetBookmark(rs.LastModified());
         EXPECT_EQ(rs.Field("Note"), Value());
       },
       "added", "<null>"},
      {"another table's statements, a row read after each",
       [&](Recordset& rs) {
         for (int i = 0; i < 20; ++i, rs.MoveNext()) {
           db_->Execute("UPDATE Survey SET Note = 'x' WHERE rowid = 1");
           EXPECT_EQ(rs.Field("Note"), Value(notes[static_cast<std::size_t>(7499 + i)]));
         }
       },
       names.back(), notes.back()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.meanwhile);
    workspace_->BeginTrans(true);
    auto rs = db_->OpenRecordset("Select * from Big where Pagenumber >= 0", dbOpenDynaset, "Name");
    ASSERT_TRUE(rs->FindFirst("Name", same, "r9999"));
    EXPECT_EQ(rs->Field("Note"), Value("n9999"));
    c.act(*rs);
    V gotNames = Scan(*rs, "Name"), gotNotes = Scan(*rs, "Note");
    ASSERT_EQ(gotNames.size(), names.size() + (c.lastName == "added"));
    EXPECT_TRUE(std::equal(names.begin(), names.end() - 1, gotNames.begin()));
    EXPECT_TRUE(std::equal(notes.begin(), notes.end() - 1, gotNotes.begin()));
    EXPECT_EQ(gotNames.back(), c.lastName);
    EXPECT_EQ(gotNotes.back(), c.lastNote);
    workspace_->Rollback();
    EXPECT_EQ(Scan(*rs, "Note"), notes);
  }
}

// Rows still being read when the transaction commits are read in it, not
// after; a recordset may go while its rows are being read.
TEST_F(DatabaseLayerTest, RowsReadInTwoStepsAreReadInTheTransaction) {
  MakeRows("Big", 20000);
  workspace_->BeginTrans(true);
  db_->OpenRecordset("Select * from Big", dbOpenDynaset, "Note").reset();
  db_->OpenRecordset("Select * from Big", dbOpenDynaset, "Name")->Close();
  auto rs = db_->OpenRecordset("Select * from Big", dbOpenDynaset, "Name");
  workspace_->CommitTrans();
  execSql(path_, "UPDATE Big SET Note = 'later'");
  const V notes = Scan(*rs, "Note");
  EXPECT_EQ(std::count(notes.begin(), notes.end(), "<null>"), 20000);
}

// A child made by fork has none of its parent's threads: closing there a
// database whose edits went through the writing thread must not wait for it.
TEST_F(DatabaseLayerTest, AForkedChildClosesADatabaseWithoutWaitingForTheWritingThread) {
  MakeRows("Big", 300);
  auto rs = db_->OpenRecordset("Select * from Big");
  workspace_->BeginTrans();
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) Set(*rs, "Note", "n");
  workspace_->CommitTrans();
  const pid_t child = fork();
  if (child == 0) {
    rs.reset();
    db_->Close();
    _exit(0);
  }
  int status = 0;
  for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
    if (waited == 1000) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      FAIL() << "the child was still closing the database after 10 s";
    }
    usleep(10000);
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Edits held back by a recordset are written when it goes without Close,
// and edits of one row through two recordsets keep the order they were
// made in.
TEST_F(DatabaseLayerTest, HeldBackEditsOutliveTheirRecordsetAndKeepTheirOrder) {
  workspace_->BeginTrans();
  {
    auto first = db_->OpenRecordset("Select * from Survey");
    auto second = db_->OpenRecordset("Select * from Survey");
    for (auto* rs : {first.get(), second.get(), first.get()})
      Set(*rs, "Note", rs == first.get() ? "by first" : "by second");
    Set(*first, "Name", "last");
  }
  workspace_->CommitTrans();
  EXPECT_EQ(ScanFresh("Survey", "Note")[0], "by first");
  EXPECT_EQ(ScanFresh("Survey", "Name")[0], "last");
}

// The tables known to the layer follow its own creations, rollbacks (which
// bring back an earlier schema version number) and other programs.
TEST_F(DatabaseLayerTest, TableListFollowsCreationsRollbacksAndOtherPrograms) {
  auto names = [&] {
    V all;
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
  auto during = db_->OpenRecordset("Select * from During");
  EXPECT_EQ(names(), (V{"Survey", "Empty", "During"}));
  EXPECT_EQ(ErrorOf([&] { create("during"); }), dbe::TableExists);
  workspace_->Rollback();
  EXPECT_EQ(ErrorOf([&] { during->Eof(); }), dbe::ObjectClosed);
  EXPECT_EQ(names(), (V{"Survey", "Empty"}));
  workspace_->BeginTrans();
  create("Later");
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from During"); }), dbe::TableNotFound);
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from LATER"); }), 0);
  workspace_->CommitTrans();
  // In creation order, without views, indexes or SQLite's own tables.
  execSql(path_,
          "CREATE TABLE Outside (x); CREATE VIEW V AS SELECT 1; CREATE INDEX I ON Outside (x);"
          "CREATE TABLE Alpha (id INTEGER PRIMARY KEY AUTOINCREMENT);");
  EXPECT_EQ(names(), (V{"Survey", "Empty", "Later", "Outside", "Alpha"}));
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from Outside"); }), 0);

  // As many as a large form's code tables: the schema outgrows SQLite's
  // default page cache, which is made larger on the way.
  constexpr int kMany = 1000;
  workspace_->BeginTrans(true);
  for (int i = 0; i < kMany; ++i) {
    TableDef def = db_->CreateTableDef("Code" + std::to_string(i));
    def.AppendField(def.CreateField("Value", dbText, 255));
    def.AppendField(def.CreateField("Label", dbText, 255));
    db_->AppendTableDef(def);
  }
  auto last = db_->OpenRecordset("Select * from Code" + std::to_string(kMany - 1));
  last->AddNew();
  last->SetField("Value", "1");
  last->Update();
  workspace_->CommitTrans();
  EXPECT_EQ(names().size(), 5u + kMany);
  EXPECT_EQ(ScanFresh("Code" + std::to_string(kMany - 1), "Value"), V{"1"});
}

TEST_F(DatabaseLayerTest, LockedByAnotherProgram) {
  auto rs = db_->OpenRecordset("Select * from Survey");
  sqlite3* other = nullptr;
  sqlite3_open(path_.c_str(), &other);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  rs->Edit();
  rs->SetField("Name", "x");
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { rs->Update(); }), dbe::Locked);
  EXPECT_GE(std::chrono::steady_clock::now() - started, kLockWait);
  EXPECT_EQ(lockWaits_.load(), 1);  // the wait was told of once
  sqlite3_close(other);
}

TEST_F(DatabaseLayerTest, TablesTheLayerCannotOpen) {
  execSql(path_,
          "CREATE TABLE Keyed (k TEXT PRIMARY KEY, PageNumber INTEGER) WITHOUT ROWID;"
          "CREATE VIEW Shown AS SELECT * FROM Survey;");
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from Keyed"); }), dbe::Engine);
  EXPECT_EQ(ErrorOf([&] { db_->OpenRecordset("Select * from Shown"); }), dbe::Engine);
}

}  // namespace
