// The database layer: the workspaces, databases, table definitions and
// updatable recordsets of the successor's database engine that the component
// uses, carried out on SQLite files. Every failure raises a VbError with the
// engine's number and description (see dbe below).
//
// Objects of the layer are meant for one thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3_stmt;

namespace chkimport::dao {

// Error numbers the layer raises.
namespace dbe {
inline constexpr int32_t Engine = 3000;  // "Reserved error (<SQLite's message>)": anything not below
inline constexpr int32_t InvalidArgument = 3001;
inline constexpr int32_t TableExists = 3010;
inline constexpr int32_t UpdateWithoutEdit = 3020;
inline constexpr int32_t NoCurrentRecord = 3021;
inline constexpr int32_t FileNotFound = 3024;
inline constexpr int32_t ReadOnly = 3027;
inline constexpr int32_t NoTransaction = 3034;
inline constexpr int32_t CannotOpen = 3051;
inline constexpr int32_t TooFewParameters = 3061;
inline constexpr int32_t TableNotFound = 3078;
inline constexpr int32_t SyntaxError = 3131;
inline constexpr int32_t InvalidBookmark = 3159;
inline constexpr int32_t DatabaseExists = 3204;
inline constexpr int32_t FieldTooSmall = 3163;
inline constexpr int32_t RecordDeleted = 3167;
inline constexpr int32_t Locked = 3260;
inline constexpr int32_t ItemNotFound = 3265;
inline constexpr int32_t ZeroLength = 3315;
inline constexpr int32_t NotADatabase = 3343;
inline constexpr int32_t ObjectClosed = 3420;
}  // namespace dbe

inline constexpr int dbUseDefault = 2;
inline constexpr int dbOpenDynaset = 2;
inline constexpr int dbText = 10;

namespace detail {
struct ValueReader;
struct WorkspaceState;
struct DatabaseState;
struct RecordsetState;
}  // namespace detail

class Workspace;
class Database;
class Recordset;

// A column value: Null, whole number, real number or text. SQLite blobs read
// as text holding their bytes.
class Value {
 public:
  Value() = default;
  Value(std::string text) : data_(std::move(text)) {}
  Value(const char* text);  // a null pointer gives Null
  Value(long long number) : data_(number) {}
  Value(long number) : data_(static_cast<long long>(number)) {}
  Value(int number) : data_(static_cast<long long>(number)) {}
  Value(double number) : data_(number) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(data_); }
  // Text as stored, whole numbers in decimal, reals in the shortest form that
  // reads back to the same number ("2.5", "3"). Null raises 94.
  std::string ToString() const;

  // Null equals only Null; numbers compare by value whether whole or real;
  // text compares byte by byte and never equals a number.
  friend bool operator==(const Value& a, const Value& b);

 private:
  friend struct detail::ValueReader;
  std::variant<std::monostate, long long, double, std::string> data_;
};

class DBEngine {
 public:
  // 0 is the default workspace "#Default Workspace#", shared by the whole
  // process; any other index raises ItemNotFound.
  static Workspace& Workspaces(int index);
  // The user and password are not used: SQLite files carry no accounts.
  static std::unique_ptr<Workspace> CreateWorkspace(const std::string& name, const std::string& user,
                                                    const std::string& password, int type);
  // For a program that is SQLite's only user in its process, called before
  // anything opens a database: SQLite then keeps no count of the memory it
  // takes, a count that costs a lock at each of its allocations, on every
  // thread. A library leaves this to its host, which may want the count.
  static void ProgramOwnsEngine();
};

class Workspace {
 public:
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  const std::string& Name() const;
  // Opens an existing SQLite file for reading and writing. Opening a file
  // this workspace already has open shares its connection, so that one
  // transaction covers both.
  std::unique_ptr<Database> OpenDatabase(const std::string& path);
  // Creates a new, empty SQLite file and opens it. An empty file of that
  // name (what a process killed while it made one leaves) is taken for a new
  // database, as SQLite takes it; any other file raises DatabaseExists.
  // `created`, when given, tells whether the file was made here.
  std::unique_ptr<Database> CreateDatabase(const std::string& path, bool* created = nullptr);
  // How long an operation waits for a lock that another program holds on a
  // database of this workspace before it fails with Locked (10 seconds
  // unless set), and what is called when such a wait begins. Applies to the
  // databases opened from then on.
  void SetLockWait(std::chrono::milliseconds limit, std::function<void()> waiting = {});
  // Transactions cover every database of the workspace that is open, also
  // those opened after BeginTrans; they nest. With `forWriting`, the
  // outermost one takes each database's write lock at once (waiting as
  // SetLockWait says; SQLite's exclusive lock, so that nothing but this
  // connection reads or writes the file until it ends, in rollback-journal
  // mode): a database that is read-only or in use fails here, before
  // anything is written, instead of at each write.
  void BeginTrans(bool forWriting = false);
  // A commit that fails rolls the whole transaction back and raises the
  // failure: a transaction is kept whole or not at all.
  void CommitTrans();
  void Rollback();
  // Closes the workspace's databases, rolling back what is not committed.
  // The default workspace stays usable; any other is closed for good.
  void Close();

 private:
  friend class DBEngine;
  explicit Workspace(std::shared_ptr<detail::WorkspaceState> state);
  std::shared_ptr<detail::WorkspaceState> state_;
};

struct FieldDef {
  std::string Name;
  int Type = dbText;
  int Size = 255;
  bool AllowZeroLength = false;
};

struct TableDef {
  std::string Name;
  std::vector<FieldDef> Fields;

  FieldDef CreateField(const std::string& name, int type, int size) const;
  void AppendField(const FieldDef& field);
};

// The row Database::InsertRows adds next, set column by column (0 first):
// each row sets every column. Text is not copied: it must stay as it is
// until Add.
class RowSink {
 public:
  void Null(int column);
  void Integer(int column, long long value);
  void Real(int column, double value);
  void Text(int column, std::string_view text);
  // Inserts the row. A failure raises as Execute's do (Locked, ReadOnly,
  // Engine with SQLite's message) and breaks the transaction when it is the
  // file's.
  void Add();

 private:
  friend class Database;
  RowSink(void* connection, sqlite3_stmt* stmt) : connection_(connection), stmt_(stmt) {}
  void* connection_;
  sqlite3_stmt* stmt_;
};

class Database {
 public:
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  const std::string& Name() const;  // the path it was opened with
  // Ordinary tables in the order they were created; SQLite's own tables and
  // views are left out. A bad index raises ItemNotFound.
  int TableDefsCount();
  std::string TableDefName(int index);
  // Accepts only "Select * from <table>" and "Select * from <table> where
  // Pagenumber >= 0"; the table name may be in double quotes (a double quote
  // inside doubled, as SQLite quotes names) or in square brackets.
  // With `readFirst`, a field of the table, inside a transaction: a large
  // table's rows are read with that field alone, and whole by another
  // thread while the caller goes on; reading or editing a row's other
  // fields waits for the row. FindFirst over that field waits for none.
  std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int type = dbOpenDynaset,
                                           const std::string& readFirst = {});
  // Runs one SQL statement with its parameters (?1, ?2, ...); rows it
  // returns are dropped.
  void Execute(const std::string& sql, const std::vector<Value>& parameters = {});
  // Calls `produce`, which adds rows to `table`, into the columns named,
  // through the sink: one statement prepared once and run once a row, in
  // the transaction the database is in. The rows are held nowhere, whatever
  // their number; RowsChanged counts them.
  void InsertRows(const std::string& table, const std::vector<std::string>& columns,
                  const std::function<void(RowSink&)>& produce);
  // A table, view, index or trigger of this name, compared as SQLite
  // compares names.
  bool HasObject(const std::string& name);
  // The rows inserted, changed or deleted through this database's connection
  // since its outermost transaction began, each row counted once.
  long long RowsChanged();
  // The connection's transaction met a failure that it cannot be kept
  // after (a write to the file failed, or SQLite rolled it back): every
  // operation raises that failure until the transaction is rolled back.
  bool TransactionFailed() const;
  TableDef CreateTableDef(const std::string& name);
  // Creates the table. Its text fields refuse values longer than their size
  // and, unless allowed, empty text, also for any later connection.
  void AppendTableDef(const TableDef& def);
  void Close();

 private:
  friend class Workspace;
  explicit Database(std::shared_ptr<detail::DatabaseState> state);
  std::shared_ptr<detail::DatabaseState> state_;
};

// An updatable recordset over one table, in row id order. The rows are read
// once when it opens; walking and reading never go back to the file. Writes
// change the rows held here and reach the file at once, except inside a
// transaction, where edits of text that no rule of the table can refuse are
// held back and written (by a thread of their own once many rows wait)
// before anything else reads that table and before the commit.
class Recordset {
 public:
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  bool Eof() const;
  void MoveFirst();
  void MoveNext();
  // The value of a field of the current row, or of the edit buffer while
  // editing or adding. Names are found without regard to case.
  // The value stays valid until the recordset moves or changes.
  const Value& Field(const std::string& name) const;
  void SetField(const std::string& name, const Value& value);
  // The value is moved from only once it is set: after an error it is
  // still there for the statement's repeat.
  void SetField(const std::string& name, Value&& value);
  void Edit();
  void AddNew();
  // Writes the edit buffer. An added row joins the end of this recordset;
  // the current row stays the one that was current before.
  void Update();
  void CancelUpdate();
  std::string Bookmark() const;
  void SetBookmark(const std::string& bookmark);
  // Moves to the first row, in recordset order, whose field `name` maps by
  // `key` to `wanted` (Null never matches), or past the last row when none
  // does; true when found. An index per field and key, kept up to date by
  // this recordset's own writes, saves walking the rows at every look-up.
  using KeyFunction = std::string (*)(std::string_view);
  bool FindFirst(const std::string& name, KeyFunction key, const std::string& wanted);
  std::string LastModified() const;
  int FieldsCount() const;
  std::vector<std::string> FieldNames() const;
  void Close();

 private:
  friend class Database;
  explicit Recordset(std::shared_ptr<detail::RecordsetState> state);
  std::shared_ptr<detail::RecordsetState> state_;
};

}  // namespace chkimport::dao
