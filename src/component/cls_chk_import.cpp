#include "chkimport/cls_chk_import.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "component/get_view_tables.h"
#include "component/preview.h"
#include "component/translate_code.h"
#include "core/import_state.h"
#include "dialogs/form1.h"
#include "dialogs/forms.h"
#include "dialogs/frm_import.h"
#include "dialogs/frm_no_match.h"
#include "services/screen_windowing.h"

namespace chkimport {
namespace {

// ProgIDs are matched without regard to case.
bool EqualsNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::shared_ptr<ImportState> processModule() {
  static const auto module = std::make_shared<ImportState>();
  return module;
}

// Fills the import dialog from the host's arguments and shows it; its own
// buttons run the import and tell the user how it went.
void ShowImportDialog(ImportState& st, const std::string& strCHKName, const std::string& strDBName,
                      const std::string& strTableName, bool blnOverwrite, bool blnIgnoreNew,
                      bool blnGenerateTables) {
  if (!st.host.windowing) {
    std::string whyNot;
    st.host.windowing = ScreenWindowing(whyNot);
    if (!st.host.windowing) Raise(vberr::CannotCreateObject, "The import dialog cannot be shown: " + whyNot);
  }
  Windowing& windowing = st.windowing();
  ReleaseUnloadedForms(st);
  FrmImport& dialog = Instance<FrmImport>(st);
  dialog.SetText("txtFileName", strCHKName);
  dialog.SetText("txtDBName", strDBName);
  dialog.SetText("txtTableName", strTableName);
  // A false argument leaves its box as the dialog set it up.
  if (blnOverwrite) dialog.SetValue("chkOverwrite", 1);
  if (blnIgnoreNew) dialog.SetValue("chkIgnoreNew", 1);
  if (blnGenerateTables) dialog.SetValue("chkGenerateTables", 1);
  st.blnDialogsShown = true;
  try {
    windowing.ShowModal(dialog);
  } catch (...) {
    st.blnDialogsShown = false;
    throw;
  }
  st.blnDialogsShown = false;
  ReleaseUnloadedForms(st);
}

}  // namespace

clsCHKImport::clsCHKImport(ModuleState state)
    : module_(state == ModuleState::Shared ? processModule() : std::make_shared<ImportState>()) {}

clsCHKImport::clsCHKImport(std::shared_ptr<ImportState> module) : module_(std::move(module)) {}

clsCHKImport::~clsCHKImport() = default;

void clsCHKImport::SetObjLanguage(Translator& ObjTT) {
  ImportState& st = *module_;
  st.blnLanguageSet = true;
  st.objErrorStack = Instance<Form1>(st).Mishtrak1;
  st.objLanguage = &ObjTT;
}

std::string clsCHKImport::Language() const {
  return module_->host.settings.IniRead("Variables", "Language", "English");
}

void clsCHKImport::SetLanguage(const std::string& language) {
  module_->host.settings.SetOverride("Variables", "Language", language);
}

void clsCHKImport::SetIncludeWithin(const std::string& folder) {
  std::string& within = module_->host.includeWithin;
  if (folder.empty()) {
    within.clear();
    return;
  }
  std::error_code ec;
  const auto real = std::filesystem::canonical(folder, ec);
  if (ec || !std::filesystem::is_directory(real, ec)) Raise(76, "Path not found: " + folder);
  within = real.string();
}

std::string clsCHKImport::IncludeWithin() const {
  return module_->host.includeWithin;
}

std::string clsCHKImport::GetCHKCode(const std::string& strCHKName, const std::string& strDBName,
                                     const std::string& strTableName, bool blnShowGUI, bool blnOverwrite,
                                     bool blnIgnoreNew, bool blnGenerateTables) {
  ImportState& st = *module_;
  unmatched_.clear();
  if (!blnShowGUI) {
    st.errorsMet.clear();
    st.passCounts = {};
  }
  // The routines below may change their arguments; the host's stay as given.
  std::string chk = strCHKName, db = strDBName, table = strTableName;
  bool overwrite = blnOverwrite, ignoreNew = blnIgnoreNew, generateTables = blnGenerateTables;

  if (blnShowGUI) {
    ShowImportDialog(st, chk, db, table, overwrite, ignoreNew, generateTables);
    return "";
  }

  if (table.empty()) return st.T("No Table Name Supplied");
  std::string result = GetViewTables(st, chk, db, table, blnShowGUI);
  if (!result.empty()) return result;

  auto listed = [&]() -> std::vector<std::string> {
    auto* dialog = Loaded<FrmNoMatch>(st);
    return dialog ? dialog->listNoMatch().List : std::vector<std::string>{};
  };
  const std::size_t before = listed().size();
  result = TranslateCode(st, chk, db, table, overwrite, ignoreNew, generateTables);
  const auto after = listed();
  unmatched_.assign(after.begin() + static_cast<std::ptrdiff_t>(std::min(before, after.size())), after.end());
  return result;
}

std::vector<std::string> clsCHKImport::UnmatchedFields() const {
  return unmatched_;
}

std::vector<ImportError> clsCHKImport::Errors() const {
  return module_->errorsMet;
}

PassProgress clsCHKImport::Counts() const {
  return module_->passCounts;
}

ImportPreview clsCHKImport::PreviewCHKCode(const std::string& strCHKName, const std::string& strDBName,
                                           const std::string& strTableName, bool blnOverwrite,
                                           bool blnIgnoreNew, bool blnGenerateTables) {
  ImportState& st = *module_;
  st.errorsMet.clear();
  st.passCounts = {};
  std::string chk = strCHKName, db = strDBName, table = strTableName;
  ImportPreview preview;
  if (table.empty()) {
    preview.result = st.T("No Table Name Supplied");
    return preview;
  }
  bool blnShowGUI = false;
  preview.result = GetViewTables(st, chk, db, table, blnShowGUI);
  if (!preview.result.empty()) return preview;
  return PreviewTranslation(st, chk, db, table, blnOverwrite, blnIgnoreNew, blnGenerateTables);
}

std::unique_ptr<clsCHKImport> CreateObject(const std::string& progID) {
  if (!EqualsNoCase(progID, kProgID))
    Raise(vberr::CannotCreateObject, "Cannot create object '" + progID + "'");
  return std::make_unique<clsCHKImport>();
}

}  // namespace chkimport
