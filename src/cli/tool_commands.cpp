// chkimport views, report and dialog, and what the commands share.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "chkimport/cls_chk_import.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "core/import_state.h"
#include "dialogs/frm_import.h"
#include "services/dao.h"
#include "services/file_paths.h"
#include "services/screen_windowing.h"
#include "services/table_names.h"

namespace chkimport::cli {
namespace fs = std::filesystem;

std::chrono::milliseconds WaitLimit(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

std::function<void()> WaitingNotice(Context& cx, const std::string& db, double seconds) {
  if (!IsTerminal(STDERR_FILENO)) return {};
  auto told = std::make_shared<bool>(false);
  const std::string text =
      Fill(cx.T("{db}: the database is in use by another program; waiting for it (at most "
                "{seconds} s)"),
           {{"db", db}, {"seconds", std::to_string(static_cast<long long>(seconds))}});
  return [told, text] {
    if (*told) return;
    *told = true;
    Say(text);
  };
}

std::vector<ViewTable> ViewTables(const std::string& dbName, bool countRows) {
  auto db = dao::DBEngine::Workspaces(0).OpenDatabase(dbName);
  std::vector<ViewTable> views;
  for (int i = 0; i < db->TableDefsCount(); ++i) {
    const std::string name = db->TableDefName(i);
    if (name.compare(0, 4, "view") != 0) continue;
    ViewTable view{name};
    if (countRows) {
      auto rs = db->OpenRecordset("Select * from " + QuotedTableName(name));
      for (; !rs->Eof(); rs->MoveNext()) ++view.rows;
    }
    views.push_back(view);
  }
  return views;
}

ChkFile::ChkFile(const std::string& given) : path_(given) {
  if (given != "-") return;
  std::string folder = (fs::temp_directory_path() / "chkimport-stdin-XXXXXX").string();
  if (!mkdtemp(folder.data())) Raise(75, "Path/File access error: " + folder);
  copyFolder_ = folder;
  path_ = (copyFolder_ / "stdin.chk").string();
  std::ofstream out(path_, std::ios::binary);
  std::copy(std::istreambuf_iterator<char>(std::cin), {}, std::ostreambuf_iterator<char>(out));
  out.close();
  if (!out || std::cin.bad()) Raise(57, "Device I/O error");
}

ChkFile::~ChkFile() {
  std::error_code ec;
  if (!copyFolder_.empty()) fs::remove_all(copyFolder_, ec);
}

std::string ChkFile::Shown(Translator& tr) const {
  return copyFolder_.empty() ? path_ : tr.T("(standard input)");
}

std::unique_ptr<ChkFile> OpenChkFile(Context& cx, const std::string& given, bool json) {
  try {
    return std::make_unique<ChkFile>(given);
  } catch (const VbError& e) {
    PrintFailure({"runtime-error", cx.T("standard input could not be read:") + " " + e.Description, e.Number},
                 json);
    return nullptr;
  }
}

int RunViews(Context& cx, const ViewsOptions& o) {
  if (!IsNormalFile(o.db)) {
    PrintFailure({"database-not-found", o.json ? "MDB file not found." : cx.T("MDB file not found.")},
                 o.json);
    return kMessage;
  }
  std::vector<ViewTable> views;
  try {
    views = ViewTables(o.db, o.json);
  } catch (const VbError& e) {
    PrintFailure(
        {"cannot-open-database", cx.T("Cannot open database.") + " (" + e.Description + ")", e.Number},
        o.json);
    return kMessage;
  }
  if (views.empty()) {
    PrintFailure({"no-view-tables", o.json ? "No tables available." : cx.T("No tables available.")}, o.json);
    return kMessage;
  }
  if (o.json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& view : views) list.push_back({{"name", view.name}, {"rows", view.rows}});
    PrintJson({{"views", list}});
  } else {
    for (const auto& view : views) std::cout << view.name << "\n";
  }
  return kSuccess;
}

int RunReport(Context& cx, const ReportOptions& o) {
  const bool toStdout = o.out == "-";
  if (!IsNormalFile(o.db)) {
    PrintFailure({"database-not-found", o.json ? "MDB file not found." : cx.T("MDB file not found.")},
                 o.json);
    return kMessage;
  }
  auto module = std::make_shared<ImportState>();
  module->host.settings.SetOverride("Variables", "Language", cx.language);
  module->objLanguage = &cx.tr;
  try {
    if (toStdout) {
      WriteCheckCodeReport(*module, std::cout, cx.T("(standard output)"), o.chk, o.db, o.view);
      std::cout.flush();
      if (!std::cout) Raise(57, "Device I/O error");
    } else {
      WriteCheckCodeReport(*module, o.out, o.chk, o.db, o.view);
    }
  } catch (const VbError& e) {
    PrintFailure({"runtime-error",
                  cx.T("the report could not be written:") + " error " + std::to_string(e.Number) + ": " +
                      e.Description,
                  e.Number},
                 o.json);
    return kMessage;
  }
  if (o.json) PrintJson({{"report", o.out}, {"view", o.view}});
  return kSuccess;
}

int RunDialog(Context& cx, const ImportOptions& o) {
  std::string whyNot;
  auto windowing = ScreenWindowing(whyNot);
  if (!windowing) {
    Say(cx.T("the import dialog cannot be shown:") + " " + cx.T(whyNot));
    return kUsage;
  }
  auto module = std::make_shared<ImportState>();
  module->host.windowing = windowing;
  module->host.encoding = o.encoding;
  module->host.languagesDir = cx.languagesDir.string();
  module->host.settings.SetOverride("Variables", "Language", cx.language);
  // No translator is handed in: the dialog sets up its own from the
  // settings, as it does for a host that has none.
  try {
    clsCHKImport component(module);
    component.GetCHKCode(o.chk, o.db, o.view, true, o.overwrite, o.ignoreNew, o.tables);
  } catch (const VbError& e) {
    Say("error " + std::to_string(e.Number) + ": " + e.Description);
    return kMessage;
  }
  return kSuccess;
}

}  // namespace chkimport::cli
