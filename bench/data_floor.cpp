// The floor of the data benchmark: the rows that `chkimport convert` makes
// of the generated data file, inserted with SQLite alone. The values are
// drawn as the generator drew them (rec_form.h), not read from the file;
// one prepared statement, one transaction, a new database, as convert does.
//
//   data_floor N DB
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "rec_form.h"

namespace {

// `width` digits of `value`, zero-padded, at `out`: cheaper than snprintf,
// so that the floor's time is SQLite's.
void Digits(char* out, int value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
}

bool check(sqlite3* db, int rc) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE) return true;
  std::cerr << "data_floor: " << sqlite3_errmsg(db) << "\n";
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: data_floor N DB\n";
    return 2;
  }
  const long long records = std::atoll(argv[1]);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(argv[2], &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
    return 1;
  std::string create =
      "CREATE TABLE bench (RecordNumber INTEGER PRIMARY KEY, Deleted INTEGER NOT NULL, "
      "Verified INTEGER NOT NULL";
  std::string insert = "INSERT INTO bench VALUES (?1, ?2, ?3";
  int n = 4;
  for (const auto& field : bench::kRecFields) {
    create += std::string(", \"") + field.name + "\" " + field.sqlType;
    insert += ", ?" + std::to_string(n++);
  }
  if (!check(db, sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr)) ||
      !check(db, sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr)))
    return 1;
  sqlite3_stmt* stmt = nullptr;
  if (!check(db,
             sqlite3_prepare_v3(db, (insert + ")").c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr)))
    return 1;
  // The names as the generator writes them, made once.
  std::vector<std::string> names;
  for (int k = 0; k < 15 * 1000; ++k) {
    bench::Drawn d{};
    d.name = k / 1000;
    d.id = k % 1000;
    char name[48];
    names.emplace_back(name, static_cast<std::size_t>(bench::NameText(d, name)));
  }
  char date[] = "0000-00-00", born[] = "--00-00", phone[] = "(404)000-0000";
  for (long long i = 1; i <= records; ++i) {
    const bench::Drawn d = bench::Draw(i);
    sqlite3_bind_int64(stmt, 1, i);
    sqlite3_bind_int(stmt, 2, d.deleted ? 1 : 0);
    sqlite3_bind_int(stmt, 3, 0);
    sqlite3_bind_int64(stmt, 4, d.id);
    if (d.age < 0)
      sqlite3_bind_null(stmt, 5);
    else
      sqlite3_bind_int(stmt, 5, d.age);
    if (d.weightCents < 0)
      sqlite3_bind_null(stmt, 6);
    else
      sqlite3_bind_double(stmt, 6, d.weightCents / 100.0);
    Digits(date, d.year, 4);
    Digits(date + 5, d.month, 2);
    Digits(date + 8, d.day, 2);
    sqlite3_bind_text(stmt, 7, date, 10, SQLITE_STATIC);
    Digits(born + 2, d.bornMonth, 2);
    Digits(born + 5, d.bornDay, 2);
    sqlite3_bind_text(stmt, 8, born, 7, SQLITE_STATIC);
    if (d.smoker == ' ')
      sqlite3_bind_null(stmt, 9);
    else
      sqlite3_bind_int(stmt, 9, d.smoker == 'Y' ? 1 : 0);
    const std::string& name = names[static_cast<std::size_t>(d.name * 1000 + d.id % 1000)];
    sqlite3_bind_text(stmt, 10, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    Digits(phone + 5, d.phone / 10000, 3);
    Digits(phone + 9, d.phone % 10000, 4);
    sqlite3_bind_text(stmt, 11, phone, 13, SQLITE_STATIC);
    sqlite3_bind_int(stmt, 12, d.code);
    if (*bench::kNotes[d.note])
      sqlite3_bind_text(stmt, 13, bench::kNotes[d.note], -1, SQLITE_STATIC);
    else
      sqlite3_bind_null(stmt, 13);
    if (!check(db, sqlite3_step(stmt))) return 1;
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  if (!check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr))) return 1;
  return sqlite3_close(db) == SQLITE_OK ? 0 : 1;
}
