// The check-code report of the import dialog.
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <locale>
#include <memory>
#include <sstream>

#include "core/import_state.h"
#include "core/routine.h"
#include "dialogs/frm_import.h"
#include "services/dao.h"
#include "services/table_names.h"
#include "services/vb_strings.h"

namespace chkimport {
namespace {

constexpr const char* CRLF = "\r\n";

// Now, in the user's own date and time format.
std::string generalDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::ostringstream out;
  try {
    out.imbue(std::locale(""));
  } catch (const std::runtime_error&) {
    // A locale the system does not have: the neutral format.
  }
  out << std::put_time(&local, "%x %X");
  return out.str();
}

// Characters, not bytes, as the name is shown.
long characters(const std::string& text) {
  long n = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

// Half of what is left of 53 columns, a half going to the even neighbour; a
// name longer than that gets no equals signs.
std::size_t bannerPad(const std::string& name) {
  const double pad = std::nearbyint((53.0 - static_cast<double>(characters(name))) / 2.0);
  return pad > 0 ? static_cast<std::size_t>(pad) : 0;
}

// The program that shows the report: the user's editor when we run in a
// terminal and one is named, else the desktop's opener.
std::vector<std::string> viewerFor(const std::string& path) {
  const bool terminal = isatty(STDIN_FILENO) && isatty(STDOUT_FILENO);
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* editor = std::getenv(variable);
    if (!terminal || !editor || !*editor) continue;
    // The variable may carry options; its words are the program and them.
    std::vector<std::string> argv;
    std::istringstream words(editor);
    for (std::string word; words >> word;) argv.push_back(word);
    argv.push_back(path);
    return argv;
  }
  return {"xdg-open", path};
}

}  // namespace

void WriteCheckCodeReport(ImportState& st, std::ostream& out, const std::string& shownPath,
                          const std::string& strCHKName, const std::string& strDBName,
                          const std::string& strTableName) {
  auto ws = dao::DBEngine::CreateWorkspace("Print CHK", "Admin", "", dao::dbUseDefault);
  auto db = ws->OpenDatabase(strDBName);
  auto rs = db->OpenRecordset("Select * from " + QuotedTableName(strTableName) + " where Pagenumber >= 0",
                              dao::dbOpenDynaset);
  rs->MoveFirst();

  const std::string strHeader =
      shownPath + CRLF + CRLF + st.T("Vantrel 2000 Check code translated and imported") + " " + CRLF +
      st.T("from Vantrel 6.04 (or earlier) syntax.") + CRLF + CRLF + st.T("Date/Time") + "      : " +
      generalDate() + CRLF + st.T("CHECK File Name:") + " " + strCHKName + CRLF + st.T("Project Name") +
      "   : " + strDBName + CRLF + st.T("View Name") + "      : " + strTableName + CRLF + CRLF +
      st.T("This report only lists fields that contain Checkcode.") + CRLF + CRLF;
  out << st.T(strHeader) << CRLF;

  for (; !rs->Eof(); rs->MoveNext()) {
    const dao::Value code = rs->Field("Checkcode");
    if (code.IsNull() || code.ToString().empty()) continue;
    const dao::Value nameValue = rs->Field("Name");
    const std::string strName = nameValue.IsNull() ? std::string() : nameValue.ToString();
    const std::string strPad(bannerPad(strName), '=');
    out << strPad << "  " << st.T("Field Name:") << " " << strName << "  " << strPad << CRLF << CRLF
        << code.ToString() << CRLF << CRLF;
  }
}

void WriteCheckCodeReport(ImportState& st, const std::string& strReportPath, const std::string& strCHKName,
                          const std::string& strDBName, const std::string& strTableName) {
  if (const std::string input = ReportWouldReplace(strReportPath, strCHKName, strDBName, st.host.encoding);
      !input.empty())
    Raise(75, "Path/File access error: the report would replace " + input + "; nothing was written");
  // The database is read before the file is made: a report that cannot be
  // read leaves no file behind.
  std::ostringstream text;
  WriteCheckCodeReport(st, text, strReportPath, strCHKName, strDBName, strTableName);
  std::ofstream out(strReportPath, std::ios::binary | std::ios::trunc);
  if (!out) Raise(75, "Path/File access error: " + strReportPath);
  out << text.str();
  out.close();
  if (!out) Raise(75, "Path/File access error: " + strReportPath);
}

void FrmImport::PrintCheckCode(const std::string& strCHKName, const std::string& strDBName,
                               const std::string& strTableName) {
  Routine r(st, "PrintCheckCode, frmImport");
  r.run([&] {
    std::optional<std::string> strPath;
    // The file dialog of the Browse buttons, for a file to be written: its
    // button saves, and it asks before a file is replaced.
    r.step([&] {
      strPath = st.windowing().ShowSave(Mid(strTableName, 5) + ".txt",
                                        "Text Files (*.txt)|*.txt|All Files (*.*)|*.*",
                                        st.T("Save the Check Code Report"));
    });
    // A cancelled file dialog writes no report.
    if (!strPath) return;
    r.step([&] { WriteCheckCodeReport(st, *strPath, strCHKName, strDBName, strTableName); });
    MsgBoxResult answer = MsgBoxResult::Cancel;
    r.step([&] {
      // The message is translated once more as a whole.
      const std::string strMessage =
          st.T("Check code written to") + " " + *strPath + CRLF + st.T("View new file?");
      answer = st.windowing().MsgBox(st.T(strMessage), MsgBoxButtons::OKCancel, "", "");
    });
    if (answer != MsgBoxResult::OK) return;
    // No program that can show the report is no error: the report is
    // written, and the user is told where.
    bool started = true;
    r.step([&] { started = st.windowing().StartProgram(viewerFor(*strPath)); });
    if (!started)
      r.step([&] {
        st.windowing().MsgBox(st.T("No program could be started to show the report. It was written to:"),
                              MsgBoxButtons::OKOnly, "", *strPath);
      });
  });
}

}  // namespace chkimport
