// Writes a synthetic but realistic form for the benchmarks: a CHK file with
// its include files, and its view database.
//
//   generate N DIR [SEED]                  N fields, one view row each
//   generate --lines L --rows R DIR [SEED] a CHK file of exactly L lines whose
//                                          blocks cycle over the R fields of
//                                          an R-row view
//
// Writes DIR/bench.chk, DIR/incNNNN.chk (one INCLUDE line per 1,000 field
// blocks, each included file holding the blocks of some 20 to 40 fields) and
// DIR/bench.db (view table viewBench, plus three rows with a negative
// PageNumber) and DIR/bench.rec (the header of a data file of the same
// fields, without records, for convert). The same arguments give the same
// bytes.
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr uint64_t kDefaultSeed = 20240601;
constexpr int kFieldsPerInclude = 1000;
// A pass records at most 501 JUMPS rows (for JUMPS USE): a form of any size
// keeps below that, as real forms do.
constexpr int kJumpRowsWanted = 400;
constexpr int kJumpRowsAtMost = 480;

// splitmix64: the same stream on every platform and library.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
  // low .. high
  int between(int low, int high) { return low + below(high - low + 1); }
  // true with `percent` percent
  bool chance(int percent) { return below(100) < percent; }
  template <class T, std::size_t K>
  const T& pick(const T (&items)[K]) {
    return items[below(static_cast<int>(K))];
  }

 private:
  uint64_t state_;
};

enum class Kind { Number, Text, Date, YesNo };

struct Field {
  std::string name;      // as the CHK file writes it: upper case
  std::string viewName;  // as the view row has it: capitalised
  Kind kind;
  std::string prefix;
};

struct Prefix {
  const char* name;
  const char* prompt;
};

constexpr Prefix kNumberPrefixes[] = {{"AGE", "Age in years"},
                                      {"WGHT", "Weight (kg)"},
                                      {"HGHT", "Height (cm)"},
                                      {"DOSE", "Dose (mg)"},
                                      {"SCOR", "Score"},
                                      {"CNT", "Number of children"},
                                      {"VIS", "Visits this year"},
                                      {"CIGS", "Cigarettes a day"},
                                      {"PULS", "Pulse"},
                                      {"TEMP", "Temperature"},
                                      {"SEX", "Sex (1 male, 2 female)"},
                                      {"EDUC", "Years of school"}};
constexpr Prefix kTextPrefixes[] = {{"NAME", "Name"},      {"NOTE", "Notes"},   {"CITY", "City"},
                                    {"STRT", "Street"},    {"RMRK", "Remarks"}, {"OCC", "Occupation"},
                                    {"DRUG", "Medication"}};
constexpr Prefix kDatePrefixes[] = {{"VDAT", "Date of visit"},
                                    {"BDAT", "Date of birth"},
                                    {"ONST", "Date of onset"},
                                    {"ADMT", "Date admitted"},
                                    {"DSCH", "Date discharged"}};
constexpr Prefix kYesNoPrefixes[] = {{"PREG", "Pregnant?"},
                                     {"SMOK", "Do you smoke?"},
                                     {"FEVR", "Fever?"},
                                     {"CGH", "Cough?"},
                                     {"HOSP", "Hospitalised?"}};

std::string capitalised(std::string_view upper) {
  std::string out(upper);
  for (std::size_t i = 1; i < out.size(); ++i)
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
  return out;
}

// The fields of the view, row by row: the kind and prefix of each follow
// from the seed, its number from its row.
class FieldTable {
 public:
  FieldTable(int rows, uint64_t seed) {
    Rng rng(seed ^ 0x5F1E1D5ull);
    fields_.reserve(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r) {
      const int roll = rng.below(100);
      Field f;
      const Prefix* prefix;
      if (roll < 50) {
        f.kind = Kind::Number;
        prefix = &rng.pick(kNumberPrefixes);
      } else if (roll < 75) {
        f.kind = Kind::Text;
        prefix = &rng.pick(kTextPrefixes);
      } else if (roll < 87) {
        f.kind = Kind::Date;
        prefix = &rng.pick(kDatePrefixes);
      } else {
        f.kind = Kind::YesNo;
        prefix = &rng.pick(kYesNoPrefixes);
      }
      f.prefix = prefix->name;
      f.name = std::string(prefix->name) + std::to_string(r + 1);
      f.viewName = capitalised(f.name);
      prompts_.push_back(prefix->prompt);
      fields_.push_back(std::move(f));
    }
  }
  int size() const { return static_cast<int>(fields_.size()); }
  const Field& operator[](int r) const { return fields_[static_cast<std::size_t>(r)]; }
  const std::string& prompt(int r) const { return prompts_[static_cast<std::size_t>(r)]; }

 private:
  std::vector<Field> fields_;
  std::vector<std::string> prompts_;
};

const char* typeName(Kind kind) {
  switch (kind) {
    case Kind::Number:
      return "NUMBER";
    case Kind::Text:
      return "TEXT";
    case Kind::Date:
      return "DATE";
    case Kind::YesNo:
      return "YES/NO";
  }
  return "TEXT";
}

// Lines of check code, written with DOS line ends.
class Lines {
 public:
  void add(std::string line) { lines_.push_back(std::move(line)); }
  std::size_t size() const { return lines_.size(); }
  const std::string& operator[](std::size_t i) const { return lines_[i]; }
  void appendTo(std::string& out) const {
    for (const auto& line : lines_) {
      out += line;
      out += "\r\n";
    }
  }
  void clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
};

constexpr const char* kRemarks[] = {"* checked against the paper form",
                                    "* 9 = not recorded",
                                    "* asked only at the first visit",
                                    "* changed after the pilot, see memo",
                                    "* leave blank when unknown",
                                    "* the interviewer reads the question aloud",
                                    "* values above the range go to the supervisor"};
constexpr const char* kMessages[] = {"Please check the answer.", "Value is unusual: ask again.",
                                     "Out of the expected range.", "Confirm with the patient."};
constexpr const char* kHelps[] = {"Weight in kilograms, without decimals", "As written on the card",
                                  "Ask the mother if the child cannot answer",
                                  "Use the date on the discharge letter", "Leave blank if unknown"};
constexpr const char* kCodes[][2] = {{"A", "Absent"}, {"R", "Refused"},      {"U", "Unknown"},
                                     {"N", "Normal"}, {"P", "Pathological"}, {"D", "Doctor"},
                                     {"S", "Sister"}};
constexpr const char* kComments[] = {"Never", "Former", "Current", "Occasional", "Daily"};

// What the blocks of one file share: the fields, how often a NUMBER field
// has a JUMPS block (per thousand), and the JUMPS rows written so far.
struct Form {
  const FieldTable& table;
  int jumpsPerMille;
  int jumpRows = 0;
};

// The block of one field. `target` names a field a jump may go to.
void fieldBlock(Rng& rng, Form& form, int row, int blockNumber, Lines& out) {
  const FieldTable& table = form.table;
  const Field& f = table[row];
  const std::string& n = f.name;
  auto target = [&] { return table[(row + rng.between(1, 5)) % table.size()].name; };
  auto variable = [&] { return "V" + f.prefix + std::to_string(blockNumber + 1); };

  out.add(n);
  const std::size_t start = out.size();
  if (rng.chance(35)) out.add(std::string("  ") + rng.pick(kRemarks));
  if (rng.chance(15)) out.add(std::string("  ") + rng.pick(kRemarks));

  switch (f.kind) {
    case Kind::Number: {
      if (rng.chance(45)) out.add("  MUSTENTER");
      if (rng.chance(5))
        out.add("  RANGE 0 INFINITY");
      else if (rng.chance(55))
        out.add("  RANGE " + std::to_string(rng.between(0, 5)) + " " + std::to_string(rng.between(20, 250)));
      const int list = rng.below(100);
      if (list < 15) {
        out.add("  LEGAL");
        const int k = rng.between(2, 5);
        for (int v = 1; v <= k; ++v) out.add("    " + std::to_string(v));
        if (rng.chance(50)) out.add("    9");
        out.add("  END");
      } else if (list < 22) {
        out.add("  COMMENT LEGAL");
        const int k = rng.between(2, 5);
        for (int v = 0; v < k; ++v) out.add("    " + std::to_string(v + 1) + " " + kComments[v]);
        out.add("  END");
      }
      if (rng.below(1000) < form.jumpsPerMille && form.jumpRows + 3 <= kJumpRowsAtMost) {
        out.add("  JUMPS");
        const int k = rng.between(1, 3);
        for (int v = 1; v <= k; ++v) out.add("    " + std::to_string(v) + " " + target());
        out.add("  END");
        form.jumpRows += k;
      }
      if (rng.chance(10)) {
        out.add("  BEFORE ENTRY");
        out.add("    DEFINE " + variable() + " " +
                std::string(static_cast<std::size_t>(rng.between(1, 4)), '#'));
        out.add("  END");
      }
      if (rng.chance(55)) {
        out.add("  AFTER ENTRY");
        out.add("    IF " + n + " > " + std::to_string(rng.between(10, 200)) + " THEN");
        out.add(std::string("      TYPE \"") + rng.pick(kMessages) + "\" " +
                std::to_string(rng.between(10, 15)));
        if (rng.chance(50)) {
          out.add("    ELSE");
          out.add("      LET " + variable() + " = " + n + " / " + std::to_string(rng.between(2, 20)));
        }
        out.add("    ENDIF");
        out.add("  END");
      }
      if (rng.chance(10)) out.add("  REPEAT");
      if (rng.chance(15)) out.add(std::string("  HELP \"") + rng.pick(kHelps) + "\"");
      break;
    }
    case Kind::Text: {
      const int entry = rng.below(100);
      if (entry < 30)
        out.add("  MUSTENTER");
      else if (entry < 35)
        out.add("  NOENTER");
      else if (entry < 38)
        out.add("  KEY UNIQUE");
      if (rng.chance(6)) out.add("  AUTOSEARCH SOUNDEX " + n);
      if (rng.chance(5)) out.add("  HIDE");
      if (rng.chance(25)) {
        out.add("  CODES");
        const int k = rng.between(2, 5);
        const int first = rng.below(3);
        for (int v = 0; v < k; ++v) {
          const auto& code = kCodes[first + v];
          out.add(std::string("    ") + code[0] + " " + code[1]);
        }
        out.add("  END");
      }
      if (rng.chance(30)) out.add(std::string("  HELP \"") + rng.pick(kHelps) + "\"");
      if (rng.chance(60)) {
        out.add("  AFTER ENTRY");
        if (rng.chance(30)) out.add(std::string("    ") + rng.pick(kRemarks));
        out.add("    IF " + n + " = \"R\" THEN");
        out.add(rng.chance(50) ? std::string("      EXIT") : "      GOTO " + target());
        out.add("    ENDIF");
        out.add("  END");
      }
      break;
    }
    case Kind::Date: {
      if (rng.chance(50)) out.add("  MUSTENTER");
      if (rng.chance(70))
        out.add("  RANGE \"01/01/" + std::to_string(rng.between(80, 90)) + "\" \"12/31/" +
                std::to_string(rng.between(95, 99)) + "\"");
      if (rng.chance(8)) {
        out.add("  BEFORE ENTRY");
        out.add("    DEFINE " + variable() + " <MM/DD/YY>");
        out.add("  END");
      }
      if (rng.chance(50)) {
        out.add("  AFTER ENTRY");
        out.add("    * the visit cannot come before the onset");
        out.add("    IF " + n + " < " + target() + " THEN");
        out.add(std::string("      TYPE \"") + rng.pick(kMessages) + "\" 12");
        out.add("      GOTO " + n);
        out.add("    ENDIF");
        out.add("  END");
      }
      break;
    }
    case Kind::YesNo: {
      if (rng.chance(40)) out.add("  MUSTENTER");
      const int after = rng.below(100);
      if (after < 65) {
        out.add("  AFTER ENTRY");
        out.add("    IF " + n + " = \"N\" THEN");
        out.add("      GOTO " + target());
        if (rng.chance(40)) {
          out.add("    ELSE");
          out.add("      LET " + variable() + " = 1");
        }
        out.add("    ENDIF");
        out.add("  END");
      } else if (after < 90) {
        out.add("  AFTER ENTRY");
        out.add("    IF " + n + " = \"Y\" THEN GOTO " + target());
        out.add("  END");
      }
      if (rng.chance(20)) out.add(std::string("  HELP \"") + rng.pick(kHelps) + "\"");
      break;
    }
  }
  // A field's block holds at least one command.
  bool command = false;
  for (std::size_t i = start; i < out.size(); ++i) command = command || out[i].rfind("  *", 0) != 0;
  if (!command) out.add(rng.chance(50) ? "  MUSTENTER" : "  REPEAT");
  out.add("END");
  if (rng.chance(70)) out.add("");
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

struct ChkStats {
  long mainLines = 0;
  long includeLines = 0;
  int includeFiles = 0;
  long blocks = 0;
};

// Writes bench.chk and its include files. `blocks` field blocks cycle over
// the table's rows; with `totalLines` > 0 blocks are written until the file
// and its includes hold that many lines, padded with top-level remarks.
ChkStats writeChk(const std::filesystem::path& dir, const FieldTable& table, long blocks, long totalLines,
                  uint64_t seed) {
  Rng rng(seed);
  ChkStats stats;
  // About 9 lines a block; half the fields are NUMBER fields; 2 rows a JUMPS block.
  const long expectedBlocks = totalLines > 0 ? totalLines / 9 : blocks;
  Form form{table, static_cast<int>(std::min<long>(
                       150, 1000L * kJumpRowsWanted / 2 / std::max<long>(1, expectedBlocks / 2)))};
  std::string main;
  Lines lines;

  lines.add("* BENCH.CHK: check code for the synthetic form BENCH.REC");
  lines.add("* Generated for the chkimport benchmarks, seed " + std::to_string(seed));
  lines.add("");
  lines.add("BEFORE FILE");
  lines.add("  COLOR 1 7");
  lines.add("  DEFINE VISITS #### GLOBAL");
  lines.add("END");
  lines.add("");
  stats.mainLines += static_cast<long>(lines.size());
  lines.appendTo(main);
  lines.clear();

  auto total = [&] { return stats.mainLines + stats.includeLines; };
  Lines block;
  for (long b = 0; totalLines > 0 || b < blocks; ++b) {
    const long inGroup = b % kFieldsPerInclude;
    // The blocks of some fields of each thousand go to an include file.
    if (inGroup == kFieldsPerInclude / 2) {
      const int count = rng.between(20, 40);
      char name[32];
      std::snprintf(name, sizeof name, "inc%04ld.chk", b / kFieldsPerInclude + 1);
      std::string included = std::string("* ") + name + ": fields shared with the follow-up form\r\n";
      long includedLines = 1;
      long k = 0;
      for (; k < count && (totalLines > 0 || b + k < blocks); ++k) {
        block.clear();
        fieldBlock(rng, form, static_cast<int>((b + k) % table.size()), static_cast<int>(b + k), block);
        if (totalLines > 0 && total() + includedLines + static_cast<long>(block.size()) + 2 > totalLines)
          break;
        block.appendTo(included);
        includedLines += static_cast<long>(block.size());
      }
      if (k > 0) {
        writeFile(dir / name, included);
        ++stats.includeFiles;
        stats.includeLines += includedLines;
        main += std::string("INCLUDE ") + name + "\r\n\r\n";
        stats.mainLines += 2;
        stats.blocks += k;
        b += k - 1;
        continue;
      }
      if (totalLines > 0) break;
    }
    block.clear();
    fieldBlock(rng, form, static_cast<int>(b % table.size()), static_cast<int>(b), block);
    if (totalLines > 0 && total() + static_cast<long>(block.size()) > totalLines) break;
    block.appendTo(main);
    stats.mainLines += static_cast<long>(block.size());
    ++stats.blocks;
  }
  while (totalLines > 0 && total() < totalLines) {
    main += "* end of the form\r\n";
    ++stats.mainLines;
  }
  writeFile(dir / "bench.chk", main);
  return stats;
}

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// The view database: one row per field in table order, 20 fields a page,
// and three helper rows with a negative PageNumber.
void writeDatabase(const std::filesystem::path& file, const FieldTable& table) {
  std::filesystem::remove(file);
  std::filesystem::remove(file.string() + "-journal");
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK)
    throw std::runtime_error("cannot create " + file.string());
  try {
    check(
        sqlite3_exec(db,
                     "PRAGMA synchronous = OFF;"
                     "CREATE TABLE viewBench (UniqueKey INTEGER PRIMARY KEY, Name TEXT, PageNumber INTEGER, "
                     "Prompt TEXT, Type TEXT, Formatstring TEXT, Checkcode TEXT, Lists TEXT);"
                     "BEGIN;",
                     nullptr, nullptr, nullptr),
        db, "create");
    sqlite3_stmt* insert = nullptr;
    check(
        sqlite3_prepare_v2(db,
                           "INSERT INTO viewBench (Name, PageNumber, Prompt, Type, Formatstring, Checkcode, "
                           "Lists) VALUES (?, ?, ?, ?, ?, NULL, NULL)",
                           -1, &insert, nullptr),
        db, "prepare");
    auto row = [&](const std::string& name, int page, const std::string& prompt, const char* type,
                   const char* format) {
      sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(insert, 2, page);
      sqlite3_bind_text(insert, 3, prompt.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 4, type, -1, SQLITE_STATIC);
      if (format)
        sqlite3_bind_text(insert, 5, format, -1, SQLITE_STATIC);
      else
        sqlite3_bind_null(insert, 5);
      check(sqlite3_step(insert), db, "insert");
      sqlite3_reset(insert);
    };
    for (int r = 0; r < table.size(); ++r) {
      const Field& f = table[r];
      const char* format = f.kind == Kind::Number ? "###" : f.kind == Kind::Date ? "MM-DD-YYYY" : nullptr;
      row(f.viewName, r / 20 + 1, table.prompt(r), typeName(f.kind), format);
      if (r == table.size() / 2)
        row("Helper1", -1, "A hidden helper row, not part of the import", "TEXT", nullptr);
    }
    row("Helper2", -1, "A hidden helper row, not part of the import", "NUMBER", "##");
    row("Codes", -2, "A hidden helper row, not part of the import", "TEXT", nullptr);
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), db, "commit");
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  sqlite3_close(db);
}

// The data file of the form: its header only, one line per field of the
// view in table order, of a type code and length that make the same row.
void writeRec(const std::filesystem::path& file, const FieldTable& table) {
  std::string text = std::to_string(table.size()) + " 1 Filelabel: Benchmark form\r\n";
  for (int r = 0; r < table.size(); ++r) {
    const Field& f = table[r];
    const int type = f.kind == Kind::Number ? 0 : f.kind == Kind::Text ? 1 : f.kind == Kind::Date ? 2 : 5;
    const int length = f.kind == Kind::Number ? 3 : f.kind == Kind::Text ? 20 : f.kind == Kind::Date ? 10 : 1;
    char line[160];
    std::snprintf(line, sizeof line, "#%-10s   1   1  30  33   1%4d%4d 112  %s\r\n", f.viewName.c_str(), type,
                  length, table.prompt(r).c_str());
    text += line;
  }
  text += '\x1A';
  std::FILE* out = std::fopen(file.c_str(), "wb");
  const bool written = out && std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (!out || std::fclose(out) != 0 || !written) throw std::runtime_error("cannot write " + file.string());
}

long number(const char* text, const char* what) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (!end || *end != '\0' || value < 0)
    throw std::invalid_argument(std::string("bad ") + what + ": " + text);
  return value;
}

int usage() {
  std::cerr << "usage: generate N DIR [SEED]\n"
               "       generate --lines L --rows R DIR [SEED]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    long lines = 0, rows = 0, fields = 0;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--lines" && i + 1 < args.size())
        lines = number(args[++i].c_str(), "line count");
      else if (args[i] == "--rows" && i + 1 < args.size())
        rows = number(args[++i].c_str(), "row count");
      else if (args[i].rfind("--", 0) == 0)
        return usage();
      else
        positional.push_back(args[i]);
    }
    const bool lineMode = lines > 0 || rows > 0;
    std::size_t next = 0;
    if (!lineMode) {
      if (positional.empty()) return usage();
      fields = number(positional[next++].c_str(), "field count");
      rows = fields;
    }
    if (rows < 1 || (lineMode && lines < 1)) return usage();
    if (positional.size() < next + 1 || positional.size() > next + 2) return usage();
    const std::filesystem::path dir = positional[next++];
    const uint64_t seed =
        next < positional.size() ? std::strtoull(positional[next].c_str(), nullptr, 10) : kDefaultSeed;

    std::filesystem::create_directories(dir);
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      if (name.size() == 11 && name.rfind("inc", 0) == 0 && name.substr(7) == ".chk")
        std::filesystem::remove(entry.path());
    }
    const FieldTable table(static_cast<int>(rows), seed);
    const ChkStats stats = writeChk(dir, table, fields, lines, seed);
    writeDatabase(dir / "bench.db", table);
    writeRec(dir / "bench.rec", table);
    std::cout << "generate: " << (dir / "bench.chk").string() << ": " << stats.blocks << " field blocks, "
              << stats.mainLines + stats.includeLines << " lines (" << stats.includeLines << " in "
              << stats.includeFiles << " include files); " << (dir / "bench.db").string() << ": " << rows
              << " field rows in viewBench\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "generate: " << e.what() << "\n";
    return 1;
  }
}
