// chkimport: from the files of a Vantrel 6 form to a view. NewView makes
// the view table from the header of the form's data file (.REC); ConvertForm
// does that, imports the form's check code (.CHK) into the new view and
// puts the file's data records into a data table.
//
//   chkimport::FormResult r = chkimport::ConvertForm("STUDENT.REC", "forms.db");
//   if (!r.result.empty()) std::cerr << r.result << "\n";  // nothing was changed
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "chkimport/export.h"

namespace chkimport {

class Translator;

// How far a pass has come: the lines it has read (include files too), the
// CHK fields it found a view row for, and the code tables it made.
struct PassProgress {
  long long lines = 0;
  long long fields = 0;
  long long codeTables = 0;
};

struct FormOptions {
  std::string view;      // the view table; "": "view" + the .REC file's base name
  std::string encoding;  // of the .REC and .CHK files (an iconv name); "": detected
  // ConvertForm only.
  std::string chk;  // "": the file of the .REC's base name with the extension .CHK, any case, beside it
  bool overwrite = false;
  bool tables = false;
  std::string includeWithin;         // INCLUDE reads only files under this folder; "": anywhere
  std::string language;              // overrides the user's setting; "": the setting
  std::string settingsFile;          // "": the user's settings file
  std::ostream* errorLog = nullptr;  // errors met during the import; null: standard error
  Translator* translator = nullptr;  // messages and comment lines; null: English
  // How long to wait for another program that holds the database, and
  // what is called when the wait begins; past it, nothing is made.
  std::chrono::milliseconds lockWait{10000};
  std::function<void()> lockWaiting;
  // Called every few hundred lines of the import, and once at its end.
  std::function<void(const PassProgress&)> progress;
  // ConvertForm: the data records.
  bool noData = false;       // leave them out
  std::string dataTable;     // "": the view's name without "view" (viewSTUDENT: STUDENT)
  bool skipDeleted = false;  // leave out the records marked deleted
  bool lenient = false;      // keep the records that read; leave out (and name) the damaged ones
  // Called now and then with the records so far.
  std::function<void(long long records)> recordProgress;
};

// A comment of advice that the import wrote into a field's check code: what
// is left to do by hand.
struct Advice {
  std::string field;  // the CHK field, or RECORD or VIEW
  // code-table, range, key, relate, help, include, jumps, no-counterpart,
  // property or variables
  std::string kind;
  std::string text;  // the comment as stored, its lines joined by CRLF
};

// An error met during an import: its number and description, and the
// routines that were running, the one that failed first.
struct ImportError {
  int number = 0;
  std::string description;
  std::vector<std::string> routines;
};

struct FormResult {
  std::string result;                  // "" on success; otherwise why, and the database is as it was
  bool viewExists = false;             // the result says that a table of that name exists
  std::string table;                   // the view table made (or that would have been)
  int fields = 0;                      // its rows
  std::string fileLabel;               // the .REC file's label, "" when it has none
  std::vector<std::string> warnings;   // fields of a type code without a counterpart (made TEXT)
  std::string chk;                     // ConvertForm: the .CHK file imported
  int errors = 0;                      // ConvertForm: errors that interrupted the import
  std::vector<ImportError> errorList;  // ConvertForm: those errors, in the order met
  PassProgress counts;                 // ConvertForm: what the import did
  // ConvertForm, the check code: "" in chk when there was none beside the .REC
  // (a warning says so), the CHK lines without a view row, the code tables
  // made and the advice written.
  std::vector<std::string> unmatched;
  std::vector<std::string> codeTables;
  std::vector<Advice> advice;
  // ConvertForm, the records: the data table ("" with noData), its rows,
  // the records marked deleted, the values kept as written because they
  // did not read as their type and, with lenient, the damaged records left
  // out (the warnings name them).
  std::string dataTable;
  bool dataTableExists = false;  // the result says that a table of that name exists
  long long records = 0;
  long long deletedRecords = 0;
  long long unreadValues = 0;
  long long damagedRecords = 0;
};

// Creates the database file when missing and in it the view table of the
// .REC file's fields: Name, PageNumber (1), Checkcode, Type, Formatstring,
// Lists and Prompt (the field's label). Done in one transaction of the
// database: killed at any moment, the database is as it was.
CHKIMPORT_API FormResult NewView(const std::string& recFile, const std::string& dbFile,
                                 const FormOptions& options = {});

// NewView, then the writing pass of the import of the form's .CHK file into
// the new view, then the data records into the data table, in the same
// transaction: all of it or, when anything fails or the process is killed,
// nothing. Without a .CHK file (and none named) the view and the records
// are made, and a warning says that there was no check code.
CHKIMPORT_API FormResult ConvertForm(const std::string& recFile, const std::string& dbFile,
                                     const FormOptions& options = {});

// "view" + the base name of the file without its extension.
CHKIMPORT_API std::string DefaultViewName(const std::string& recFile);

// The .CHK file beside a .REC file, its name compared without regard to
// case; "" when there is none.
CHKIMPORT_API std::string FindChkBeside(const std::string& recFile);

}  // namespace chkimport
