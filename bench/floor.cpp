// The least work any writing pass must do for a form: read the CHK file line
// by line, following its INCLUDE lines into the files beside it, and write
// one Checkcode value into every row of the view table that takes part in an
// import (PageNumber >= 0), in one transaction. The benchmarks compare the
// real passes with this.
//
//   floor CHK DB VIEW [--bytes-per-row N] [--tables T --table-rows R]
//
// Every row gets a value of N bytes, the average size the real writing pass
// stores per row (the run script measures it). Without N, the bytes read are
// shared out evenly among the rows. With --tables, the same transaction also
// creates T tables shaped as code tables are (two text fields of 255
// characters under the same rules) holding R rows in all: the least work of
// a pass that makes code tables.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Totals {
  long lines = 0;
  long bytes = 0;
  int files = 0;
};

bool isInclude(const std::string& line, std::string& name) {
  std::size_t i = line.find_first_not_of(" \t");
  if (i == std::string::npos || line.size() - i < 8) return false;
  static const char kWord[] = "INCLUDE";
  for (int k = 0; k < 7; ++k) {
    char c = line[i + static_cast<std::size_t>(k)];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kWord[k]) return false;
  }
  i += 7;
  if (line[i] != ' ' && line[i] != '\t') return false;
  i = line.find_first_not_of(" \t", i);
  if (i == std::string::npos) return false;
  const std::size_t end = line.find_last_not_of(" \t");
  name = line.substr(i, end - i + 1);
  return true;
}

// Reads a file line by line (CRLF, LF or a lone CR end a line), descending
// into the files its INCLUDE lines name.
void readChk(const std::filesystem::path& path, Totals& totals, int depth = 0) {
  if (depth > 255) throw std::runtime_error("INCLUDE nesting too deep at " + path.string());
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) throw std::runtime_error("cannot open " + path.string());
  ++totals.files;
  std::string line;
  std::string includeName;
  auto endLine = [&] {
    ++totals.lines;
    totals.bytes += static_cast<long>(line.size());
    if (isInclude(line, includeName)) readChk(path.parent_path() / includeName, totals, depth + 1);
    line.clear();
  };
  char buffer[1 << 16];
  bool afterCr = false;
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
    for (std::size_t i = 0; i < got; ++i) {
      const char c = buffer[i];
      if (c == '\n') {
        if (!afterCr) endLine();
        afterCr = false;
      } else if (c == '\r') {
        endLine();
        afterCr = true;
      } else {
        afterCr = false;
        line += c;
      }
    }
  }
  if (!line.empty()) endLine();
}

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// Writes a value of `bytesPerRow` bytes (or the read bytes shared out) into
// the Checkcode of every row with PageNumber >= 0, in one transaction.
struct CodeTables {
  long tables = 0;
  long rows = 0;
};

void exec(sqlite3* db, const std::string& sql) {
  check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql.c_str());
}

void createTables(sqlite3* db, const CodeTables& code) {
  for (long t = 0; t < code.tables; ++t) {
    const std::string name = "floorCode" + std::to_string(t);
    const std::string a = "F" + std::to_string(t), b = a + "1";
    exec(db, "CREATE TABLE \"" + name + "\" (\"" + a + "\" VARCHAR(255) CONSTRAINT \"FieldSize:" + a +
                 "\" CHECK (length(\"" + a + "\") <= 255) CONSTRAINT \"ZeroLength:" + a + "\" CHECK (\"" + a +
                 "\" <> ''), \"" + b + "\" VARCHAR(255) CONSTRAINT \"FieldSize:" + b + "\" CHECK (length(\"" +
                 b + "\") <= 255))");
    const long rows = code.rows / code.tables + (t < code.rows % code.tables ? 1 : 0);
    sqlite3_stmt* insert = nullptr;
    check(
        sqlite3_prepare_v2(db, ("INSERT INTO \"" + name + "\" VALUES (?, ?)").c_str(), -1, &insert, nullptr),
        db, "insert");
    for (long r = 0; r < rows; ++r) {
      const std::string code1 = std::to_string(r + 1), label = "Label " + code1;
      sqlite3_bind_text(insert, 1, code1.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 2, label.c_str(), -1, SQLITE_TRANSIENT);
      const int rc = sqlite3_step(insert);
      sqlite3_reset(insert);
      check(rc, db, "insert");
    }
    sqlite3_finalize(insert);
  }
}

long writeRows(const std::string& dbFile, const std::string& view, long bytesPerRow, const Totals& totals,
               const CodeTables& code) {
  if (!std::filesystem::exists(dbFile)) throw std::runtime_error("no database " + dbFile);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(dbFile.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + dbFile);
  }
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> owner(db, &sqlite3_close);
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");

  std::vector<sqlite3_int64> rowids;
  {
    sqlite3_stmt* select = nullptr;
    check(sqlite3_prepare_v2(db, ("SELECT rowid FROM \"" + view + "\" WHERE PageNumber >= 0").c_str(), -1,
                             &select, nullptr),
          db, "select");
    int rc;
    while ((rc = sqlite3_step(select)) == SQLITE_ROW) rowids.push_back(sqlite3_column_int64(select, 0));
    sqlite3_finalize(select);
    check(rc, db, "select");
  }
  if (rowids.empty()) throw std::runtime_error("no rows in " + view);
  if (bytesPerRow < 0) bytesPerRow = totals.bytes / static_cast<long>(rowids.size());

  // Lines of 40 characters ending in CRLF, as stored check code is.
  std::string value;
  value.reserve(static_cast<std::size_t>(bytesPerRow));
  while (static_cast<long>(value.size()) < bytesPerRow) {
    value += (value.size() % 42 == 40) ? '\r' : (value.size() % 42 == 41) ? '\n' : '*';
  }

  sqlite3_stmt* update = nullptr;
  check(sqlite3_prepare_v2(db, ("UPDATE \"" + view + "\" SET Checkcode = ? WHERE rowid = ?").c_str(), -1,
                           &update, nullptr),
        db, "update");
  for (const sqlite3_int64 rowid : rowids) {
    sqlite3_bind_text(update, 1, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
    sqlite3_bind_int64(update, 2, rowid);
    const int rc = sqlite3_step(update);
    sqlite3_reset(update);
    check(rc, db, "update");
  }
  sqlite3_finalize(update);
  createTables(db, code);
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  return static_cast<long>(rowids.size());
}

int usage() {
  std::cerr << "usage: floor CHK DB VIEW [--bytes-per-row N] [--tables T --table-rows R]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  long bytesPerRow = -1;
  CodeTables code;
  auto number = [&](int& i, long& into) {
    char* end = nullptr;
    into = std::strtol(argv[++i], &end, 10);
    return end && *end == '\0' && into >= 0;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--bytes-per-row" && i + 1 < argc) {
      if (!number(i, bytesPerRow)) return usage();
    } else if (arg == "--tables" && i + 1 < argc) {
      if (!number(i, code.tables)) return usage();
    } else if (arg == "--table-rows" && i + 1 < argc) {
      if (!number(i, code.rows)) return usage();
    } else if (arg.rfind("--", 0) == 0) {
      return usage();
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 3) return usage();
  try {
    Totals totals;
    readChk(positional[0], totals);
    const long rows = writeRows(positional[1], positional[2], bytesPerRow, totals, code);
    std::cout << "floor: " << totals.lines << " lines in " << totals.files << " files, " << rows
              << " rows written, " << code.tables << " tables made\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "floor: " << e.what() << "\n";
    return 1;
  }
}
