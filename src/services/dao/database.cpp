// Databases: their tables, the recordsets opened on them, and the code
// tables created in them.
#include <atomic>
#include <optional>

#include "services/dao.h"
#include "services/dao/connection.h"
#include "services/dao/filling.h"
#include "services/dao/held_edits.h"
#include "services/dao/query.h"
#include "services/dao/rows.h"
#include "services/dao/schema.h"
#include "services/dao/statement.h"

namespace chkimport::dao {

using namespace detail;

namespace {

std::atomic<std::uint64_t> nextRecordsetId{1};

const std::vector<std::string>& TableNames(Connection& connection, const std::string& name) {
  return CurrentSchema(connection, name).tableNames;
}

}  // namespace

FieldDef TableDef::CreateField(const std::string& name, int type, int size) const {
  FieldDef field;
  field.Name = name;
  field.Type = type;
  field.Size = size;
  return field;
}

void TableDef::AppendField(const FieldDef& field) {
  Fields.push_back(field);
}

Database::Database(std::shared_ptr<DatabaseState> state) : state_(std::move(state)) {}

Database::~Database() {
  CloseDatabase(*state_);
}

const std::string& Database::Name() const {
  Live(*state_);
  return state_->name;
}

int Database::TableDefsCount() {
  return static_cast<int>(TableNames(Live(*state_), state_->name).size());
}

std::string Database::TableDefName(int index) {
  const auto& names = TableNames(Live(*state_), state_->name);
  if (index < 0 || static_cast<std::size_t>(index) >= names.size()) RaiseItemNotFound();
  return names[static_cast<std::size_t>(index)];
}

std::unique_ptr<Recordset> Database::OpenRecordset(const std::string& sql, int type,
                                                   const std::string& readFirst) {
  Connection& connection = Live(*state_);
  if (type != dbOpenDynaset) RaiseInvalidArgument();
  const Query query = ParseQuery(sql);

  auto rs = std::make_shared<RecordsetState>();
  rs->database = state_;
  Context context{state_->name, query.table};
  const detail::Schema& schema = CurrentSchema(connection, state_->name);
  const auto found = schema.tablesByName.find(std::string_view(query.table));
  if (found == schema.tablesByName.end())
    Raise(dbe::TableNotFound, "The database engine cannot find the input table or query '" + query.table +
                                  "'. Make sure it exists and that its name is spelled correctly.");
  const detail::Schema::Entry& entry = schema.entries[found->second];
  if (entry.type == "view")
    RaiseEngine("'" + query.table + "' is a view; the database layer opens tables only");
  rs->table = entry.name;
  rs->hasTriggers = schema.triggersOn.contains(std::string_view(rs->table));
  const std::string upperDefinition = Capitals(entry.sql);
  FlushPending(connection, rs->table);
  context.table = rs->table;
  // A whole table without a field named rowid is read by one statement,
  // which also tells its fields (the statement the long way below would
  // choose): preparing costs more than reading a code table's few rows.
  // Anything else, a statement that cannot be prepared included, goes the
  // long way, which says why.
  std::unique_ptr<Statement> whole;
  if (!query.pagesOnly) {
    const std::string wholeSql = "SELECT rowid, * FROM " + Quote(rs->table) + " ORDER BY rowid";
    whole = Statement::TryPrepare(Db(connection), wholeSql, context, &connection);
    for (int i = 1; whole && i < whole->ColumnCount(); ++i)
      if (SameName(whole->ColumnName(i), "rowid")) whole.reset();
    if (whole) rs->query = wholeSql;
  }
  {
    std::optional<Statement> probe;
    if (!whole) probe.emplace(Db(connection), "SELECT * FROM " + Quote(rs->table), context, &connection);
    Statement& fields = whole ? *whole : *probe;
    const int first = whole ? 1 : 0;
    for (int i = first; i < fields.ColumnCount(); ++i) {
      rs->columns.push_back(fields.ColumnName(i));
      rs->columnIndex.emplace(rs->columns.back(), i - first);
      rs->keepsText.push_back(KeepsText(fields.DeclType(i)));
    }
  }
  rs->deferrable = Deferrable(connection, *rs, upperDefinition, context);
  rs->addsAsWritten = AddsAsWritten(*rs, upperDefinition);
  // Inside a transaction the field asked for is read first, the rest of the
  // rows while the caller goes on (filling.h); `where` is the query's
  // condition.
  const auto first = readFirst.empty() || connection.depth == 0
                         ? rs->columnIndex.end()
                         : rs->columnIndex.find(std::string_view(readFirst));
  auto readInTwo = [&](const std::string& where) {
    const auto column = static_cast<std::size_t>(first->second);
    const std::string from = " FROM " + Quote(rs->table), order = " ORDER BY " + rs->rowid;
    LoadFirstField(rs, column,
                   "SELECT " + rs->rowid + ", " + Quote(rs->columns[column]) + from + where + order,
                   "SELECT " + rs->rowid + ", *" + from + (where.empty() ? " WHERE " : where + " AND ") +
                       rs->rowid + " >= ?1" + order);
  };
  if (whole) {
    rs->rowid = "rowid";
    if (first == rs->columnIndex.end()) {
      Load(*rs, *whole);
    } else {
      whole.reset();  // no statement of this thread's may be open while the other reads
      readInTwo("");
    }
  } else {
    // A field may itself be called rowid; SQLite then still knows the row
    // id by its other names.
    for (const char* alias : {"rowid", "_rowid_", "oid"}) {
      if (!rs->columnIndex.contains(std::string_view(alias))) {
        rs->rowid = alias;
        break;
      }
    }
    const std::string noRowid = "table '" + rs->table + "' has no row ids; the database layer cannot open it";
    if (rs->rowid.empty()) RaiseEngine(noRowid);
    rs->query = "SELECT " + rs->rowid + ", * FROM " + Quote(rs->table);
    std::string where;
    if (query.pagesOnly) {
      auto page = rs->columnIndex.find(std::string_view("PageNumber"));
      if (page == rs->columnIndex.end()) Raise(dbe::TooFewParameters, "Too few parameters. Expected 1.");
      where = " WHERE " + Quote(rs->columns[static_cast<std::size_t>(page->second)]) + " >= 0";
      rs->query += where;
    }
    rs->query += " ORDER BY " + rs->rowid;
    {
      // A table made WITHOUT ROWID has none of the row id names.
      sqlite3_stmt* check = nullptr;
      const std::string sql0 = "SELECT " + rs->rowid + " FROM " + Quote(rs->table);
      const int rc = sqlite3_prepare_v2(Db(connection), sql0.c_str(), -1, &check, nullptr);
      sqlite3_finalize(check);
      if (rc != SQLITE_OK) RaiseEngine(noRowid);
    }
    if (first == rs->columnIndex.end())
      Load(*rs);
    else
      readInTwo(where);
  }
  rs->id = nextRecordsetId++;
  rs->current = rs->rows.empty() ? kEof : 0;
  std::erase_if(connection.recordsets, [](const auto& weak) { return weak.expired(); });
  connection.recordsets.push_back(rs);
  return std::unique_ptr<Recordset>(new Recordset(std::move(rs)));
}

TableDef Database::CreateTableDef(const std::string& name) {
  Live(*state_);
  TableDef def;
  def.Name = name;
  return def;
}

void Database::AppendTableDef(const TableDef& def) {
  Connection& connection = Live(*state_);
  if (def.Name.empty() || def.Fields.empty()) RaiseInvalidArgument();
  for (const auto& field : def.Fields)
    if (field.Name.empty() || field.Type != dbText || field.Size < 1 || field.Size > 255)
      RaiseInvalidArgument();
  const Context context{state_->name, def.Name};
  if (CurrentSchema(connection, state_->name).anyByName.contains(std::string_view(def.Name)))
    Raise(dbe::TableExists, "Table '" + def.Name + "' already exists.");
  // length() counts characters of text. The rules are named so that a failed
  // CHECK leads back to its field (see RaiseSqlite).
  std::string sql = "CREATE TABLE " + Quote(def.Name) + " (";
  for (std::size_t i = 0; i < def.Fields.size(); ++i) {
    const FieldDef& field = def.Fields[i];
    const std::string column = Quote(field.Name);
    const std::string size = std::to_string(field.Size);
    if (i) sql += ", ";
    sql += column + " VARCHAR(" + size + ") CONSTRAINT " + Quote(std::string(kSizeRule) + field.Name) +
           " CHECK (length(" + column + ") <= " + size + ")";
    if (!field.AllowZeroLength)
      sql +=
          " CONSTRAINT " + Quote(std::string(kZeroLengthRule) + field.Name) + " CHECK (" + column + " <> '')";
  }
  sql += ")";
  // The schema known before (current: it was just consulted) stays so with
  // this table added.
  detail::Execute(Db(connection), sql, context, &connection);
  if (connection.schema) {
    connection.schema->add({"table", def.Name, def.Name, sql});
    connection.schema->version = SchemaVersion(connection, state_->name);
    FitCacheToSchema(connection, state_->name);
  }
}

void Database::Execute(const std::string& sql, const std::vector<Value>& parameters) {
  Connection& connection = Live(*state_);
  FlushPending(connection);
  const Context context{state_->name, {}};
  Statement statement(Db(connection), sql, context, &connection);
  for (std::size_t i = 0; i < parameters.size(); ++i) statement.Bind(static_cast<int>(i) + 1, parameters[i]);
  while (statement.Step()) {
  }
  // The statement may have changed the schema.
  connection.schema.reset();
}

bool Database::HasObject(const std::string& name) {
  Connection& connection = Live(*state_);
  if (connection.schema && connection.schema->version == SchemaVersion(connection, state_->name))
    return connection.schema->anyByName.contains(std::string_view(name));
  // One look-up instead of reading the whole schema again: a database of
  // many forms has a large one, changed by every table made. NOCASE folds
  // the ASCII letters only, as SQLite compares names.
  Statement find(connection, "SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE",
                 {state_->name, {}});
  find.Bind(1, Value(name));
  return find.Step();
}

long long Database::RowsChanged() {
  Connection& connection = Live(*state_);
  FlushPending(connection);
  long long rows = connection.insertedRows;
  for (const auto& [table, changed] : connection.changedRows) rows += static_cast<long long>(changed.size());
  return rows;
}

bool Database::TransactionFailed() const {
  return state_->connection && state_->connection->broken.has_value();
}

void Database::Close() {
  Live(*state_);
  CloseDatabase(*state_);
}

}  // namespace chkimport::dao
