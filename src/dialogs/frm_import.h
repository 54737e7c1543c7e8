// The import dialog: the CHK file, the view database and the view table,
// the three options, OK to run the import, and Preview to see first what
// it would change.
#pragma once

#include <iosfwd>
#include <string>

#include "services/form.h"

namespace chkimport {

class FrmImport : public Form {
 public:
  explicit FrmImport(ImportState& state);

  void Form_Load() override;
  void Fire(const std::string& control, FormEvent event, int arg = 0) override;

  void txtFileName_Change();
  void txtDBName_Change();
  void cmdBrowseCHK_Click();
  void cmdBrowseMDB_Click();
  void cmdOK_Click();
  void cmdPreview_Click();
  void Cmdcancel_Click();
  void Form_KeyDown(int KeyCode);
  void Form_KeyPress(int KeyAscii);
  void CheckESC(int KeyCode);

  // Writes the check code now stored in the view table to a text file the
  // user picks, and offers to open it.
  void PrintCheckCode(const std::string& strCHKName, const std::string& strDBName,
                      const std::string& strTableName);

  std::string Text(const std::string& control) { return (*this)[control].Text; }
  bool Ticked(const std::string& control) { return (*this)[control].Value == 1; }

 private:
  // Both text boxes' change handlers do the same.
  void fileNameChanged(const char* label);
  // For a result that a file was not found, the path the user gave for it,
  // made absolute ("" for any other result).
  std::string notFound(const std::string& result);
  // Both Browse buttons do the same for their text box.
  void browse(const char* label, const std::string& textBox, const std::string& filter);
};

// What a report written to `strReportPath` would destroy among the files it
// comes from: "the view database PATH" (or its journal), "the CHK file
// PATH", "the include file PATH"; "" for none. Files are compared by device
// and inode, so that another name or a link of the same file is caught.
std::string ReportWouldReplace(const std::string& strReportPath, const std::string& strCHKName,
                               const std::string& strDBName, const std::string& encoding);

// Writes the report of the check code stored in a view table: the header,
// then one block per field whose check code is not empty, CRLF line ends.
// A report path that ReportWouldReplace names raises 75, nothing written.
void WriteCheckCodeReport(ImportState& st, const std::string& strReportPath, const std::string& strCHKName,
                          const std::string& strDBName, const std::string& strTableName);
// The same into `out`, headed by `shownPath` (standard output, say).
void WriteCheckCodeReport(ImportState& st, std::ostream& out, const std::string& shownPath,
                          const std::string& strCHKName, const std::string& strDBName,
                          const std::string& strTableName);

}  // namespace chkimport
