// The view database is never left half-written, whatever fails: a disk that
// fills at any write, a file the user cannot write, another program holding
// the database, a journal in WAL mode, a database reached through links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "chkimport/forms.h"
#include "import_harness.h"

namespace {

using namespace testing_support;
using V = std::vector<std::string>;

// SQLite's default file system with a disk that fills: once armed, every
// write from the Nth on fails with SQLITE_FULL. Registered as the default
// while a test uses it.
class FullDisk {
 public:
  FullDisk() {
    real_ = sqlite3_vfs_find(nullptr);
    vfs_ = *real_;
    vfs_.zName = "chkimport-full-disk";
    vfs_.pNext = nullptr;
    vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_->szOsFile;
    vfs_.xOpen = Open;
    sqlite3_vfs_register(&vfs_, 1);
  }
  ~FullDisk() {
    sqlite3_vfs_register(real_, 1);
    sqlite3_vfs_unregister(&vfs_);
  }
  // 0: no write fails.
  void failFromWrite(int n) {
    failFrom_ = n;
    writes_ = 0;
  }

 private:
  struct File {
    sqlite3_file base;
    sqlite3_file* inner;
  };
  static File& Of(sqlite3_file* f) { return *reinterpret_cast<File*>(f); }
  static int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* out) {
    File& file = Of(f);
    file.inner = reinterpret_cast<sqlite3_file*>(&file + 1);
    file.base.pMethods = nullptr;
    const int rc = real_->xOpen(real_, name, file.inner, flags, out);
    if (file.inner->pMethods) file.base.pMethods = &methods_;
    return rc;
  }
  static int Write(sqlite3_file* f, const void* data, int n, sqlite3_int64 at) {
    if (failFrom_ > 0 && ++writes_ >= failFrom_) return SQLITE_FULL;
    return Of(f).inner->pMethods->xWrite(Of(f).inner, data, n, at);
  }

  static inline sqlite3_vfs* real_ = nullptr;
  static inline sqlite3_vfs vfs_{};
  static inline int failFrom_ = 0, writes_ = 0;
  // Version 1: no WAL, no memory mapping; every call but xWrite passes on.
  static inline const sqlite3_io_methods methods_ = {
      1,
      [](sqlite3_file* f) { return Of(f).inner->pMethods->xClose(Of(f).inner); },
      [](sqlite3_file* f, void* p, int n, sqlite3_int64 at) {
        return Of(f).inner->pMethods->xRead(Of(f).inner, p, n, at);
      },
      Write,
      [](sqlite3_file* f, sqlite3_int64 size) { return Of(f).inner->pMethods->xTruncate(Of(f).inner, size); },
      [](sqlite3_file* f, int flags) { return Of(f).inner->pMethods->xSync(Of(f).inner, flags); },
      [](sqlite3_file* f, sqlite3_int64* size) {
        return Of(f).inner->pMethods->xFileSize(Of(f).inner, size);
      },
      [](sqlite3_file* f, int lock) { return Of(f).inner->pMethods->xLock(Of(f).inner, lock); },
      [](sqlite3_file* f, int lock) { return Of(f).inner->pMethods->xUnlock(Of(f).inner, lock); },
      [](sqlite3_file* f, int* out) { return Of(f).inner->pMethods->xCheckReservedLock(Of(f).inner, out); },
      [](sqlite3_file* f, int op, void* arg) {
        return Of(f).inner->pMethods->xFileControl(Of(f).inner, op, arg);
      },
      [](sqlite3_file* f) { return Of(f).inner->pMethods->xSectorSize(Of(f).inner); },
      [](sqlite3_file* f) { return Of(f).inner->pMethods->xDeviceCharacteristics(Of(f).inner); },
  };
};

// A form of a few fields, its check code and 1,000 records, as .REC and .CHK files.
void writeForm(const TempDir& dir) {
  std::string rec = "4 1\r\n", chk;
  for (int i = 0; i < 4; ++i) {
    rec += recLine("F" + std::to_string(i), 0, 3, "F" + std::to_string(i) + " Field") + "\r\n";
    chk += "F" + std::to_string(i) +
           "\r\n  MUSTENTER\r\n  LEGAL\r\n    1\r\n    2\r\n  END\r\n  GOTO F0\r\nEND\r\n";
  }
  for (int i = 0; i < 1000; ++i) {
    char record[32];
    std::snprintf(record, sizeof record, "%3d%3d%3d%3d!\r\n", i % 1000, 1, 2, 3);
    rec += record;
  }
  dir.write("form.rec", rec);
  dir.write("form.chk", chk);
}

// Whatever write the disk fills at, an import and a conversion (which makes
// a new view first) either do all their work or leave the database as it
// was (after SQLite has rolled back what the failure left, as the next
// program to open the file does): never a part, never a crash, never
// success when nothing was saved.
TEST(DatabaseSafety, ADiskThatFillsAtAnyWriteLeavesAllOrNothing) {
  struct Case {
    const char* what;
    bool dbExists;
    // Runs the work; its result.
    std::function<std::string(const TempDir&, const std::string& db)> run;
    // The work was done.
    std::function<bool(const std::string& db)> done;
  };
  const auto codeIn = [](const std::string& db, const std::string& view) {
    return querySql(db, "SELECT count(*) FROM " + view +
                            " WHERE Checkcode LIKE '%GOTO F0%' AND Lists = 'M'") == V{"4"};
  };
  const std::vector<Case> cases = {
      {"import", true,
       [](const TempDir& dir, const std::string& db) {
         std::ostringstream log;
         testing_support::Component c(dir, log);
         return silentImport(c.component, dir.file("form.chk"), db, "viewOld", kTables);
       },
       [&](const std::string& db) { return codeIn(db, "viewOld"); }},
      {"convert", true,
       [](const TempDir& dir, const std::string& db) {
         std::ostringstream log;
         auto options = testing_support::quietOptions(dir, log);
         options.tables = true;
         return chkimport::ConvertForm(dir.file("form.rec"), db, options).result;
       },
       [&](const std::string& db) {
         return codeIn(db, "viewform") && querySql(db, "SELECT count(*) FROM form") == V{"1000"};
       }},
      {"convert into a new database", false,
       [](const TempDir& dir, const std::string& db) {
         std::ostringstream log;
         return chkimport::ConvertForm(dir.file("form.rec"), db, testing_support::quietOptions(dir, log))
             .result;
       },
       [](const std::string& db) {
         return querySql(db, "SELECT count(*) FROM viewform WHERE Lists = 'M'") == V{"4"} &&
                querySql(db, "SELECT sum(F0) FROM form") == V{"499500"};
       }},
  };

  FullDisk disk;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    writeForm(dir);
    const std::string db = dir.file("forms.db");
    std::string before;
    if (c.dbExists) {
      execSql(db, testing_support::viewTableSql("viewOld", {"F0", "F1", "F2", "F3"}));
      before = readFile(db);
    }
    const V files = filesIn(dir);
    bool succeeded = false;
    for (int n = 1; n < 400 && !succeeded; ++n) {
      SCOPED_TRACE("every write fails from write " + std::to_string(n) + " on");
      std::filesystem::remove(db);
      if (c.dbExists) dir.write("forms.db", before);
      disk.failFromWrite(n);
      const std::string result = c.run(dir, db);
      disk.failFromWrite(0);
      // The next program to open the file finds it whole.
      if (std::filesystem::exists(db)) execSql(db, "SELECT count(*) FROM sqlite_master");
      succeeded = result.empty();
      if (succeeded) {
        EXPECT_TRUE(c.done(db));
      } else {
        EXPECT_NE(result.find("disk is full"), std::string::npos) << result;
        if (c.dbExists) {
          EXPECT_EQ(readFile(db), before) << result;
        }
        EXPECT_EQ(filesIn(dir), files) << result;
      }
    }
    EXPECT_TRUE(succeeded);
  }
}

// A database the user may read but not write: a writing pass, a preview and
// a conversion say so once and change nothing; a listing pass works.
TEST(DatabaseSafety, ADatabaseTheUserCannotWrite) {
  TempDir dir;
  writeForm(dir);
  const std::string db = dir.file("forms.db");
  execSql(db, testing_support::viewTableSql("viewOld", {"F0", "F1"}));
  chmod(db.c_str(), 0444);
  chmod(dir.path().c_str(), 0755);
  const std::string before = readFile(db);
  const std::string told = AsAnotherUser([&] {
    std::ostringstream log;
    testing_support::Component c(dir, log);
    auto& component = c.component;
    const std::string chk = dir.file("form.chk");
    std::string out = "writing: " + silentImport(component, chk, db, "viewOld", kTables) + "\n";
    out += "preview: " + component.PreviewCHKCode(chk, db, "viewOld", true, true, true).result + "\n";
    out += "listing: " + component.GetCHKCode(chk, db, "viewOld", false) + "\n";
    out += "convert: " +
           chkimport::ConvertForm(dir.file("form.rec"), db, testing_support::quietOptions(dir, log)).result +
           "\n";
    return out + "log: " + log.str();
  });
  const std::string readOnly = "Cannot update. Database or object is read-only.";
  EXPECT_EQ(told, "writing: The import was not saved: " + readOnly +
                      "\npreview: The preview failed: " + readOnly + "\nlisting: \nconvert: " + db +
                      ": the view could not be made: " + readOnly + "\nlog: ");
  EXPECT_EQ(readFile(db), before);
}

struct CliSafety : ::testing::Test {
  // Runs the program in the test's folder.
  testing_support::CommandResult run(const std::string& args) {
    return runCommand("cd '" + dir.path().string() + "' && XDG_CONFIG_HOME=. '" CHKIMPORT_CLI "' " + args,
                      dir);
  }
  TempDir dir;
};

// Another program writing the database, or reading it in a transaction: an
// import or a conversion waits as long as --wait says, then fails once,
// saying why, with nothing written.
TEST_F(CliSafety, AnotherProgramHoldingTheDatabase) {
  writeForm(dir);
  const std::string db = dir.file("forms.db");
  const struct {
    const char* what;
    const char* journal;
    const char* hold;
  } holds[] = {
      {"a writer", "DELETE", "BEGIN IMMEDIATE; UPDATE viewOld SET Type = 'TEXT'"},
      {"a reader", "DELETE", "BEGIN; SELECT count(*) FROM viewOld"},
      {"a writer, WAL", "WAL", "BEGIN IMMEDIATE; UPDATE viewOld SET Type = 'TEXT'"},
  };
  const struct {
    std::string args, told;
  } commands[] = {
      {"import --ignore-new --chk form.chk --db forms.db --view viewOld --wait 1",
       "chkimport: The import was not saved: the database is in use by another program\n"},
      {"convert form.rec --db forms.db --wait 1",
       "chkimport: forms.db: the view could not be made: the database is in use by another program\n"},
  };
  for (const auto& hold : holds) {
    std::filesystem::remove(db);
    execSql(db, std::string("PRAGMA journal_mode = ") + hold.journal + ";" +
                    testing_support::viewTableSql("viewOld", {"F0", "F1", "F2", "F3"}));
    const std::string before = readFile(db);
    for (const auto& command : commands) {
      SCOPED_TRACE(std::string(hold.what) + ": " + command.args);
      sqlite3* other = nullptr;
      ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
      ASSERT_EQ(sqlite3_exec(other, hold.hold, nullptr, nullptr, nullptr), SQLITE_OK);
      const auto started = std::chrono::steady_clock::now();
      const auto r = run(command.args);
      const auto waited = std::chrono::steady_clock::now() - started;
      sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_close(other);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, command.told);
      EXPECT_EQ(r.out, "");
      EXPECT_GE(waited, std::chrono::seconds(1));
      EXPECT_LT(waited, std::chrono::seconds(8));
      EXPECT_EQ(readFile(db), before);
    }
  }
}

// newview and convert change the database in place: through a symbolic or
// a hard link, with its owner's mode, in WAL mode with committed changes
// still in the -wal file that another program holds open.
TEST_F(CliSafety, NewviewAndConvertChangeTheDatabaseWhereItIs) {
  writeForm(dir);
  const std::string real = dir.file("real.db");
  execSql(real, "PRAGMA journal_mode = WAL;" + testing_support::viewTableSql("viewOld", {"F0"}));
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(real.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(other,
                   "PRAGMA wal_autocheckpoint = 0; INSERT INTO viewOld (Name, PageNumber) VALUES ('late', 1)",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  ASSERT_GT(std::filesystem::file_size(real + "-wal"), 0u);
  chmod(real.c_str(), 0640);
  std::filesystem::create_symlink("real.db", dir.file("link.db"));
  std::filesystem::create_hard_link(real, dir.file("hard.db"));

  auto r = run("convert '" + dir.file("form.rec") + "' --db '" + dir.file("link.db") + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  r = run("newview --rec '" + dir.file("form.rec") + "' --db '" + real + "' --view viewSecond");
  EXPECT_EQ(r.status, 0) << r.err;

  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.db")));
  EXPECT_EQ(std::filesystem::hard_link_count(dir.file("hard.db")), 2u);
  struct stat info {};
  ASSERT_EQ(stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  auto rows = [&](const std::string& sql) {
    V out;
    sqlite3_exec(
        other, sql.c_str(),
        [](void* to, int, char** values, char**) {
          static_cast<V*>(to)->push_back(values[0] ? values[0] : "<null>");
          return 0;
        },
        &out, nullptr);
    return out;
  };
  // The program that held it open sees the new tables, and what it wrote.
  EXPECT_EQ(rows("SELECT count(*) FROM viewform WHERE Lists = 'M'"), V{"4"});
  EXPECT_EQ(rows("SELECT count(*) FROM viewSecond"), V{"4"});
  EXPECT_EQ(rows("SELECT Name FROM viewOld ORDER BY rowid"), (V{"F0", "late"}));
  sqlite3_close(other);
  EXPECT_EQ(querySql(real, "PRAGMA integrity_check"), V{"ok"});
  EXPECT_EQ(querySql(real, "SELECT count(*) FROM viewform"), V{"4"});
}

}  // namespace
