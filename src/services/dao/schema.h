// The file's schema as sqlite_master lists it, and what a table's
// definition says about the fields a recordset writes.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "services/dao/errors.h"
#include "services/dao/names.h"

namespace chkimport::dao::detail {

struct Connection;
struct RecordsetState;

// The file's schema as sqlite_master lists it, read again only when the
// schema version moves: a pass that creates a code table per value list
// would otherwise scan the whole list at each look-up.
struct Schema {
  struct Entry {
    std::string type, name, tableName, sql;
  };
  long long version = -1;
  std::vector<Entry> entries;  // in sqlite_master's order
  std::unordered_map<std::string, std::size_t, NameHash, NameEqual> anyByName;
  std::unordered_map<std::string, std::size_t, NameHash, NameEqual> tablesByName;  // tables and views
  std::unordered_map<std::string, int, NameHash, NameEqual> triggersOn;
  std::vector<std::string> tableNames;  // the tables, without SQLite's own
  std::size_t bytes = 0;                // about what SQLite's schema table holds

  void add(Entry entry) {
    const std::size_t at = entries.size();
    bytes += entry.type.size() + entry.name.size() + entry.tableName.size() + entry.sql.size() + 16;
    anyByName.try_emplace(entry.name, at);
    if (entry.type == "table" || entry.type == "view") tablesByName.try_emplace(entry.name, at);
    if (entry.type == "trigger") ++triggersOn[entry.tableName];
    if (entry.type == "table" &&
        !(entry.name.size() >= 7 && SameName(std::string_view(entry.name).substr(0, 7), "sqlite_")))
      tableNames.push_back(entry.name);
    entries.push_back(std::move(entry));
  }
};

long long SchemaVersion(Connection& connection, const std::string& name);
// The schema, read again only when its version has moved.
const Schema& CurrentSchema(Connection& connection, const std::string& name);
// Makes SQLite's page cache room enough for its schema table, which SQLite
// reads again at every CREATE TABLE: thousands of code tables outgrow the
// default cache, and each CREATE would then read the table from the file.
// The connection's schema is there.
void FitCacheToSchema(Connection& connection, const std::string& name);

// Whether SQLite stores text given to a field of this declared type as that
// same text: text affinity, or none.
bool KeepsText(std::string declared);

// ASCII letters in capitals: a table's definition as the two rules below
// read it.
std::string Capitals(std::string text);

// Whether a row added to the table with text or Null in some fields has
// Null in all the others: nothing in its definition gives a field a value of
// its own (a default, a row id alias, a generated value), and no trigger runs.
bool AddsAsWritten(const RecordsetState& rs, const std::string& upperDefinition);

// Which fields take text that no rule of the table can refuse. Any doubt
// (a rule anywhere in the table's definition, a trigger, foreign keys
// enforced, an index over an expression) keeps every write immediate.
std::vector<bool> Deferrable(Connection& connection, const RecordsetState& rs,
                             const std::string& upperDefinition, const Context& context);

}  // namespace chkimport::dao::detail
