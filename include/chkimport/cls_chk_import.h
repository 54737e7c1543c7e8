// chkimport: imports the check code of Vantrel 6 CHK files into the view
// tables of a Vantrel 2000 view database.
//
// A host creates clsCHKImport (directly, or by its ProgID through
// CreateObject), hands it a translator with SetObjLanguage, and calls
// GetCHKCode. The silent call returns "" on success or a message.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "chkimport/export.h"
#include "chkimport/forms.h"
#include "chkimport/preview.h"
#include "chkimport/translator.h"
#include "chkimport/vb_error.h"

namespace chkimport {

struct ImportState;

inline constexpr const char* kProgID = "Quorvant.clsCHKImport";

// Where an object's module state comes from: shared by every object of the
// process made so, as all objects of a loaded component share it, or its
// own (hosts that embed several independent imports).
enum class ModuleState { Shared, Own };

class CHKIMPORT_API clsCHKImport {
 public:
  explicit clsCHKImport(ModuleState state = ModuleState::Shared);
  // An object over a given module state (the library's own programs and
  // tests).
  explicit clsCHKImport(std::shared_ptr<ImportState> module);
  ~clsCHKImport();
  clsCHKImport(const clsCHKImport&) = delete;
  clsCHKImport& operator=(const clsCHKImport&) = delete;

  // Hands the component the host's translator; the host keeps ownership and
  // keeps it alive while the component may use it.
  void SetObjLanguage(Translator& ObjTT);

  // Beyond the host interface: the user's language setting as this object
  // reads it ("English" when there is none), and a language that overrides
  // the setting for this object (its dialogs and form conversions).
  std::string Language() const;
  void SetLanguage(const std::string& language);

  // With blnShowGUI false, runs one import silently and returns "" or a
  // message: "No Table Name Supplied" (translated), "MDB file not found.",
  // "Cannot open database.", "CHECK file not found.", "Table Not In MDB",
  // "No tables available.", "No matching fields were found.", and, when
  // nothing of a pass could be kept, "The import was not saved: " and why
  // (translated): the database was in use by another program, could not be
  // written, or its commit failed.
  std::string GetCHKCode(const std::string& strCHKName, const std::string& strDBName,
                         const std::string& strTableName, bool blnShowGUI, bool blnOverwrite = false,
                         bool blnIgnoreNew = false, bool blnGenerateTables = false);

  // Beyond the host interface, for CHK files from others: INCLUDE reads
  // only files whose real path (links and ".." resolved) lies under
  // `folder`; an INCLUDE of any other file is written as one of a file not
  // found, and a warning goes to the error log. "" lifts the confinement.
  // Raises error 76 when `folder` is not a folder.
  void SetIncludeWithin(const std::string& folder);
  // The folder INCLUDE is confined to (its real path), "" for none.
  std::string IncludeWithin() const;

  // Beyond the host interface: the CHK lines that the last silent listing
  // pass found without a row in the view table, in file order.
  std::vector<std::string> UnmatchedFields() const;
  // Beyond the host interface: the errors that the routines of the last
  // silent call met and were left after (the call may still have returned
  // ""), in the order met, and what its pass read and made.
  std::vector<ImportError> Errors() const;
  PassProgress Counts() const;

  // Beyond the host interface: what the silent import with these arguments
  // would change, found by running it in transactions that are rolled back;
  // the database is left exactly as it was. With blnIgnoreNew false the
  // listing pass runs first and its unmatched lines are kept; the changes
  // are always those of the writing pass. `result` is what GetCHKCode would
  // return.
  ImportPreview PreviewCHKCode(const std::string& strCHKName, const std::string& strDBName,
                               const std::string& strTableName, bool blnOverwrite = false,
                               bool blnIgnoreNew = false, bool blnGenerateTables = false);

 private:
  std::shared_ptr<ImportState> module_;
  std::vector<std::string> unmatched_;
};

// Creates a component by its ProgID ("Quorvant.clsCHKImport"); raises error
// 429 for any other name.
CHKIMPORT_API std::unique_ptr<clsCHKImport> CreateObject(const std::string& progID);

}  // namespace chkimport
