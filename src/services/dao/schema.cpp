#include "services/dao/schema.h"

#include <cctype>
#include <string_view>

#include "services/dao/connection.h"
#include "services/dao/rows.h"
#include "services/dao/statement.h"

namespace chkimport::dao::detail {

long long SchemaVersion(Connection& connection, const std::string& name) {
  Statement version(connection, "PRAGMA schema_version", {name, {}});
  return version.Step() ? version.Integer(0) : -1;
}

const detail::Schema& CurrentSchema(Connection& connection, const std::string& name) {
  const long long version = SchemaVersion(connection, name);
  if (connection.schema && connection.schema->version == version) return *connection.schema;
  detail::Schema schema;
  schema.version = version;
  Statement select(connection,
                   "SELECT type, name, tbl_name, coalesce(sql, '') FROM sqlite_master ORDER BY rowid",
                   {name, {}});
  while (select.Step())
    schema.add({select.Column(0).ToString(), select.Column(1).ToString(), select.Column(2).ToString(),
                select.Column(3).ToString()});
  connection.schema = std::move(schema);
  FitCacheToSchema(connection, name);
  return *connection.schema;
}

void FitCacheToSchema(Connection& connection, const std::string& name) {
  // SQLite's default cache is 2,000 KiB. The schema table takes about 1.3
  // times the text it holds, and shares the cache with the pages a
  // transaction changes, which push the least recently used out: four times
  // the text above the default (measured at 17,333 code tables: twice left
  // a third of the CREATEs reading from the file, eight times was no
  // better). Set again only when that is a quarter more than the cache set.
  constexpr long long kDefaultKiB = 2000;
  const long long wanted = kDefaultKiB + 4 * static_cast<long long>(connection.schema->bytes / 1024);
  const long long current = connection.cacheKiB > 0 ? connection.cacheKiB : kDefaultKiB;
  if (wanted < current + current / 4) return;
  Execute(Db(connection), "PRAGMA cache_size = -" + std::to_string(wanted), {name, {}}, &connection);
  connection.cacheKiB = wanted;
}

bool KeepsText(std::string declared) {
  for (auto& c : declared) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (declared.find("INT") != std::string::npos) return false;
  if (declared.find("CHAR") != std::string::npos || declared.find("CLOB") != std::string::npos ||
      declared.find("TEXT") != std::string::npos)
    return true;
  return declared.empty() || declared.find("BLOB") != std::string::npos;
}

namespace {

bool HasWord(const std::string& upperText, std::string_view word) {
  auto isNamePart = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  for (std::size_t at = upperText.find(word); at != std::string::npos; at = upperText.find(word, at + 1)) {
    const std::size_t after = at + word.size();
    if ((at == 0 || !isNamePart(upperText[at - 1])) &&
        (after == upperText.size() || !isNamePart(upperText[after])))
      return true;
  }
  return false;
}

}  // namespace

std::string Capitals(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool AddsAsWritten(const RecordsetState& rs, const std::string& upperDefinition) {
  if (rs.hasTriggers) return false;
  // A generated field is declared with AS, GENERATED ALWAYS or not.
  for (const std::string_view word : {"DEFAULT", "PRIMARY", "AS"})
    if (HasWord(upperDefinition, word)) return false;
  return true;
}

std::vector<bool> Deferrable(Connection& connection, const RecordsetState& rs,
                             const std::string& upperDefinition, const Context& context) {
  std::vector<bool> result = rs.keepsText;
  auto none = [&] { return std::vector<bool>(rs.columns.size(), false); };
  if (rs.hasTriggers) return none();
  if (HasWord(upperDefinition, "CHECK") || HasWord(upperDefinition, "REFERENCES")) return none();
  {
    // Generated fields cannot be written at all: their writes fail at once.
    Statement fields(Db(connection), "SELECT name FROM pragma_table_xinfo(?1) WHERE hidden >= 2", context);
    fields.Bind(1, rs.table);
    while (fields.Step()) {
      auto column = rs.columnIndex.find(fields.Column(0).ToString());
      if (column != rs.columnIndex.end()) result[static_cast<std::size_t>(column->second)] = false;
    }
  }
  {
    Statement foreignKeys(Db(connection), "PRAGMA foreign_keys", context);
    if (foreignKeys.Step() && foreignKeys.Integer(0) != 0) return none();
  }
  Statement indexes(Db(connection),
                    "SELECT i.\"unique\", c.cid, c.name FROM pragma_index_list(?1) AS i "
                    "JOIN pragma_index_info(i.name) AS c",
                    context);
  indexes.Bind(1, rs.table);
  while (indexes.Step()) {
    if (indexes.Integer(1) < 0) return none();
    if (indexes.Integer(0) == 0) continue;
    auto column = rs.columnIndex.find(indexes.Column(2).ToString());
    if (column != rs.columnIndex.end()) result[static_cast<std::size_t>(column->second)] = false;
  }
  return result;
}

}  // namespace chkimport::dao::detail
