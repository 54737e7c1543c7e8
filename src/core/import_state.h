// The state of the import module: everything that lives as long as the
// component is loaded and is shared by its routines. A component owns one;
// a test starts from a fresh one.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "chkimport/forms.h"
#include "chkimport/translator.h"
#include "core/line_reader.h"
#include "services/bounded.h"
#include "services/error_stack.h"
#include "services/field_name_service.h"
#include "services/form.h"
#include "services/settings.h"
#include "services/windowing.h"

namespace chkimport {

class PreviewRecorder;
struct MigrationNotes;
namespace dao {
class Workspace;
}  // namespace dao

// What the host environment provides to the module: where settings come
// from, how a failing routine's question is answered, where errors are
// reported, and the windows of the dialogs.
struct HostEnvironment {
  Settings settings{Settings::DefaultPath()};
  // How a failing routine goes on. Null: the user is asked while the dialogs
  // are shown, and otherwise the routine is left.
  ErrorStack::Policy actionPolicy;
  std::ostream* errorLog = nullptr;  // null: standard error
  // Text encoding of CHK and include files (an iconv name); "" to detect it.
  std::string encoding;
  // INCLUDE reads only files under this folder; "": anywhere.
  std::string includeWithin;
  // The windows of the dialog path; null where there is no windowing system.
  std::shared_ptr<Windowing> windowing;
  // Where the component's own translator finds its catalogs; "" for the
  // installed ones.
  std::string languagesDir;
  // How long a pass waits for another program to let go of the view
  // database, and what is called when it begins to wait.
  std::chrono::milliseconds lockWait{10000};
  std::function<void()> lockWaiting;
  // Hears how far a pass has come, every few hundred lines and at its end.
  std::function<void(const PassProgress&)> progress;
};

struct ImportState {
  HostEnvironment host;

  // Host services.
  Translator* objLanguage = nullptr;        // the host's, never freed here; or ownLanguage
  std::unique_ptr<Translator> ownLanguage;  // made when the host handed in none
  bool blnDialogsShown = false;             // the import dialog is up: errors are asked
  std::shared_ptr<ErrorStack> objErrorStack;
  bool blnTrapErrors = false;
  bool blnLanguageSet = false;
  std::string strLanguage;

  // Set-up and results.
  std::string strResult;
  std::string strCHKFolder;
  // Set while a preview runs: every pass rolls back what it wrote.
  PreviewRecorder* previewRecorder = nullptr;
  // Set by a host that wants the advice a writing pass stores, as it stores
  // it (see NoteAdvice).
  MigrationNotes* migrationNotes = nullptr;
  // Set by a host that holds a transaction of the view database: passes run
  // in this workspace, inside that transaction, instead of in their own.
  dao::Workspace* passWorkspace = nullptr;
  // The rows the last pass changed and committed: 0 after a listing pass,
  // a preview or a pass whose work was not kept.
  long long lngRowsWritten = 0;
  // What the last pass read and made.
  PassProgress passCounts;
  // The errors the routines met since the host last cleared the list, the
  // routine that failed first.
  std::vector<ImportError> errorsMet;

  // The current field.
  std::string strBookmark;
  std::string strFieldName;

  // Words of the current line.
  FixedArray<std::string, 0, 100> strWords;
  // Words past this index are empty: ExtractWords clears only up to it.
  int wordsInUse = 100;
  // ExtractWords' working copies of the line, kept for their room.
  struct {
    std::string upperLine, work, upper;
  } wordBuffers;

  // Translated code of the current field: columns 0 BEFORE, 1 AFTER, 2 staged.
  FixedGrid<std::string, 4, 501> strNewContent;
  int16_t intBeforeCount = 0;
  int16_t intAfterCount = 0;
  int16_t intStagedCount = 0;
  int16_t intBeforeLevel = 0;
  int16_t intAfterLevel = 0;

  // Input-file stack; entry 0 is the CHK file.
  int16_t intCurrentFile = 0;
  FixedArray<int16_t, 0, 255> intFileNumbers;
  FixedArray<std::string, 0, 255> strFileNames;
  int16_t intFileDepth = 0;
  // Where each file of the stack was found on disk.
  FixedArray<std::string, 0, 255> filePaths;
  // Include files the pass has opened, and whether it has stopped following INCLUDE.
  int includeOpenings = 0;
  bool blnIncludesStopped = false;
  // The open input files by file number (1 to 255).
  std::map<int16_t, std::unique_ptr<LineReader>> Files;
  // The file File() found last: the pass asks for the same one at every line.
  int16_t lastFileNumber = 0;
  LineReader* lastFile = nullptr;

  // Value-list rows for a code table; row 0 holds the column names.
  FixedGrid<std::string, 3, 501> strCodes;
  int16_t intCodeCount = 0;
  // Rows below this may have been written since InitCodeContent last
  // emptied its rows: the ones past it are empty already.
  int16_t codeRowsWritten = 0;
  bool blnCodeHeader = false;
  bool blnInCodes = false;
  bool blnInLegal = false;
  bool blnCommentLegal = false;
  int16_t intCodesLevel = 0;

  // JUMPS block rows: field, value, target.
  bool blnInJumps = false;
  FixedGrid<std::string, 3, 501> strJumps;
  int16_t intJumpCount = 0;

  std::unique_ptr<FieldNameService> objFieldNameService;

  // The table names of a database as code-table creation last saw them.
  struct TakenTableNames {
    const void* database = nullptr;
    int count = -1;
    std::unordered_set<std::string> names;
    // Per base name (upper-cased): the numbers below this one are taken.
    std::unordered_map<std::string, long> nextNumber;
  } takenTableNames;

  // The loaded dialogs, in load order; one instance of each kind.
  std::vector<std::unique_ptr<Form>> Forms;
  std::vector<std::unique_ptr<Form>> UnloadedForms;

  // The translator's text; raises "Object variable not set" without one.
  std::string T(const std::string& text);
  // The same for a text written in the code: a pass asks for the same few
  // dozen texts thousands of times, so while one runs (passTextsOn) each is
  // translated once, kept by where the text is.
  template <std::size_t N>
  std::string T(const char (&text)[N]) {
    return codeText(text, std::char_traits<char>::length(text));
  }
  struct PassText {
    std::string english, translation;
  };
  std::unordered_map<const char*, PassText> passTexts;
  bool passTextsOn = false;
  std::string codeText(const char* text, std::size_t size);
  std::ostream& errorLog();
  // Tells the host how far the pass has come.
  void ReportProgress();
  // A message with an OK button; written to the error log where there is
  // no windowing system.
  void MsgBox(const std::string& text);
  // The answer of the error-stack control to a failing routine.
  std::string AnswerAction(int32_t number, const std::string& description, const std::string& suggested,
                           const std::vector<std::string>& labels);
  // The windowing system; raises an error where there is none.
  Windowing& windowing();

  // Input files by number: the lowest free number ("Too many files" when
  // all 255 are open), opening, the file of a number, closing.
  int16_t FreeFile() const;
  void OpenInput(int16_t number, const std::string& path);
  LineReader& File(int16_t number) {
    if (lastFile && number == lastFileNumber) return *lastFile;
    return findFile(number);
  }
  void Close(int16_t number);

 private:
  LineReader& findFile(int16_t number);
};

}  // namespace chkimport
