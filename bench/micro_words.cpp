// Microbenchmarks of the two routines every CHK line goes through: word
// extraction (ExtractWords) and command translation (ScanWords). Both report
// lines per second.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "chkimport/identity_translator.h"
#include "core/import_state.h"
#include "dialogs/form1.h"
#include "dialogs/forms.h"
#include "services/dao.h"
#include "translate/extract_words.h"
#include "translate/field_code_buffers.h"
#include "translate/pass_state.h"
#include "translate/scan_words.h"

namespace {

using namespace chkimport;

// A realistic mix of CHK lines, as the driver hands them over (trimmed):
// field names, commands, conditions that are cut before THEN, Yes/No
// literals, quoted texts, list rows and comments.
const std::vector<std::string> kChkLines = {
    "AGE",
    "MUSTENTER",
    "RANGE 0 INFINITY",
    "BEFORE ENTRY",
    "DEFINE AGEGROUP #",
    "END",
    "AFTER ENTRY",
    "IF AGE < 18 THEN",
    "AGEGROUP = 1",
    "ELSE",
    "AGEGROUP = 2",
    "ENDIF",
    "END",
    "END",
    "* 9 = not recorded",
    "SEX",
    "LEGAL",
    "1",
    "2",
    "9",
    "END",
    "JUMPS",
    "1 SMOKER",
    "END",
    "IF PREGNANT = \"N\" THEN",
    "GOTO SMOKER",
    "IF SMOKER = \"Y\" THEN GOTO CIGS",
    "RANGE 1 250",
    "REPEAT",
    "HELP \"Weight in kilograms, without decimals\"",
    "COMMENT LEGAL",
    "1 Never",
    "2 Former",
    "3 Current",
    "IF CIGS > 40 THEN",
    "TYPE \"More than 40 a day: please check the answer.\" 12",
    "LET PACKS = CIGS / 20",
    "RANGE \"01/01/90\" \"12/31/99\"",
    "CODES",
    "A Absent",
    "R Refused",
    "IF NOTES = \"R\" THEN",
    "EXIT",
    "KEY UNIQUE",
    "AUTOSEARCH SOUNDEX NAME",
    "* the visit cannot come before the onset",
    "IF VISITDATE < ONSET THEN",
    "TYPE \"Out of the expected range.\" 12",
};

// Command lines only, each translated inside a field block on the writing
// pass. DEFINE (which appends to one row without end) and INCLUDE (which
// opens a file) are left out.
const std::vector<std::string> kCommandLines = {
    "MUSTENTER",
    "RANGE 0 INFINITY",
    "RANGE 1 250",
    "BEFORE ENTRY",
    "AFTER ENTRY",
    "IF AGE < 18 THEN",
    "IF PREGNANT = \"N\" THEN",
    "IF SMOKER = \"Y\" THEN GOTO CIGS",
    "ELSE",
    "ENDIF",
    "END",
    "GOTO SMOKER",
    "LEGAL",
    "COMMENT LEGAL",
    "CODES",
    "JUMPS",
    "REPEAT",
    "HELP \"Weight in kilograms, without decimals\"",
    "TYPE \"More than 40 a day: please check the answer.\" 12",
    "LET PACKS = CIGS / 20",
    "EXIT",
    "KEY UNIQUE",
    "NOENTER",
    "AUTOSEARCH SOUNDEX NAME",
    "HIDE",
    "COLOR 1 7",
    "RANGE \"01/01/90\" \"12/31/99\"",
};

void exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "";
    sqlite3_free(error);
    throw std::runtime_error("SQL failed: " + message);
  }
}

// A view database in a fresh temporary folder, removed afterwards, and an
// import state set up as a pass has it: the error stack of form1, a
// translator, errors trapped, the view's recordset open on the field AGE.
class Fixture {
 public:
  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "chkimport-micro-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    const std::string file = (dir_ / "form.db").string();
    sqlite3* raw = nullptr;
    if (sqlite3_open(file.c_str(), &raw) != SQLITE_OK) throw std::runtime_error("cannot create " + file);
    exec(raw,
         "CREATE TABLE viewForm (UniqueKey INTEGER PRIMARY KEY, Name TEXT, PageNumber INTEGER, Prompt TEXT, "
         "Type TEXT, Formatstring TEXT, Checkcode TEXT, Lists TEXT);"
         "INSERT INTO viewForm (Name, PageNumber, Type, Formatstring) VALUES "
         "('Id', 1, 'NUMBER', '#####'), ('Name', 1, 'TEXT', NULL), ('VisitDate', 1, 'DATE', 'MM-DD-YYYY'),"
         "('Age', 1, 'NUMBER', '###'), ('Sex', 1, 'NUMBER', '#'), ('Pregnant', 1, 'YES/NO', NULL),"
         "('Weight', 1, 'NUMBER', '###'), ('Smoker', 2, 'YES/NO', NULL), ('Cigs', 2, 'NUMBER', '##'),"
         "('Notes', 2, 'TEXT', NULL), ('Onset', 2, 'DATE', 'MM-DD-YYYY'), ('Codes', -1, 'TEXT', NULL);");
    sqlite3_close(raw);

    st.host.errorLog = &log;
    st.host.settings = Settings(dir_ / "settings.ini");
    st.objErrorStack = Instance<Form1>(st).Mishtrak1;
    st.objLanguage = &english;
    st.blnTrapErrors = true;
    InitializeArray(st);

    // The properties the commands write stay in one transaction, never
    // committed.
    dao::DBEngine::Workspaces(0).BeginTrans();
    db = dao::DBEngine::Workspaces(0).OpenDatabase(file);
    rs = db->OpenRecordset("Select * from viewForm where Pagenumber >= 0", dao::dbOpenDynaset);
    rs->MoveFirst();
    while (!rs->Eof() && rs->Field("Name").ToString() != "Age") rs->MoveNext();
    st.strBookmark = rs->Bookmark();
    st.strFieldName = "AGE";
  }

  ~Fixture() {
    rs.reset();
    try {
      dao::DBEngine::Workspaces(0).Rollback();
    } catch (...) {
    }
    db.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  Fixture(const Fixture&) = delete;
  Fixture& operator=(const Fixture&) = delete;

  ImportState st;
  IdentityTranslator english;
  std::ostringstream log;
  std::unique_ptr<dao::Database> db;
  std::unique_ptr<dao::Recordset> rs;

 private:
  std::filesystem::path dir_;
};

void BM_ExtractWords(benchmark::State& state) {
  Fixture f;
  std::size_t i = 0;
  std::string line, rest;
  for (auto _ : state) {
    line = kChkLines[i];
    rest.clear();
    ExtractWords(f.st, *f.rs, line, rest);
    benchmark::DoNotOptimize(line);
    benchmark::DoNotOptimize(rest);
    if (++i == kChkLines.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.counters["errors"] = static_cast<double>(f.log.str().size());
}
BENCHMARK(BM_ExtractWords);

// A command line with its words as ExtractWords left them.
struct Prepared {
  std::string line, rest;
  std::vector<std::string> words;
};

void BM_ScanWords(benchmark::State& state) {
  Fixture f;
  std::vector<Prepared> prepared;
  for (const auto& text : kCommandLines) {
    Prepared p{text, "", {}};
    ExtractWords(f.st, *f.rs, p.line, p.rest);
    for (int w = 0; w <= 100 && !f.st.strWords(w).empty(); ++w) p.words.push_back(f.st.strWords(w));
    prepared.push_back(std::move(p));
  }

  PassState p;
  p.dbView = f.db.get();
  p.rsView = f.rs.get();
  p.strTableName = "viewForm";
  p.blnIgnoreNew = true;  // the writing pass
  const std::string bookmark = f.st.strBookmark;

  // Every section holds at most 501 lines: the buffers are emptied well
  // before, as a new field's block would.
  constexpr int kLinesPerField = 100;
  std::size_t i = 0;
  int stored = 0;
  std::size_t previousWords = 101;
  for (auto _ : state) {
    const Prepared& line = prepared[i];
    for (std::size_t w = 0; w < previousWords; ++w)
      f.st.strWords(static_cast<long>(w)) = w < line.words.size() ? line.words[w] : std::string();
    previousWords = line.words.size() + 1;
    p.strLine = line.line;
    p.strRest = line.rest;
    // Inside a field block, outside BEFORE and AFTER, no list open.
    p.intLevel = 1;
    p.intSection = 2;
    f.st.intBeforeLevel = 0;
    f.st.intAfterLevel = 0;
    f.st.blnInCodes = f.st.blnInLegal = f.st.blnCommentLegal = f.st.blnInJumps = false;
    f.st.blnCodeHeader = false;
    f.st.intCodeCount = 0;
    f.st.strBookmark = bookmark;

    benchmark::DoNotOptimize(ScanWords(f.st, p));

    if (++stored == kLinesPerField) {
      InitializeArray(f.st);
      stored = 0;
    }
    if (++i == prepared.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.counters["errors"] = static_cast<double>(f.log.str().size());
}
BENCHMARK(BM_ScanWords);

}  // namespace

BENCHMARK_MAIN();
