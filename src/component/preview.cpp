#include "component/preview.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

#include "chkimport/translator.h"
#include "component/translate_code.h"
#include "core/import_state.h"
#include "dialogs/forms.h"
#include "dialogs/frm_no_match.h"
#include "services/dao.h"
#include "services/table_names.h"
#include "services/unified_diff.h"

namespace chkimport {
namespace {

enum Column { kName, kCheckcode, kLists };
constexpr const char* kColumns[] = {"Name", "Checkcode", "Lists"};

bool sameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::vector<std::string> listedUnmatched(ImportState& st) {
  auto* dialog = Loaded<FrmNoMatch>(st);
  return dialog ? dialog->listNoMatch().List : std::vector<std::string>{};
}

}  // namespace

PreviewRecorder::Snapshot PreviewRecorder::read(dao::Database& db) const {
  Snapshot s;
  auto rs = db.OpenRecordset("Select * from " + QuotedTableName(table_), dao::dbOpenDynaset);
  const auto fields = rs->FieldNames();
  std::vector<bool> present;
  for (const char* column : kColumns)
    present.push_back(std::any_of(fields.begin(), fields.end(),
                                  [&](const std::string& field) { return sameName(field, column); }));
  s.hasCheckcode = present[kCheckcode];
  s.hasLists = present[kLists];
  for (; !rs->Eof(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (std::size_t c = 0; c < present.size(); ++c) {
      const dao::Value value = present[c] ? rs->Field(kColumns[c]) : dao::Value();
      row.push_back(value.IsNull() ? "" : value.ToString());
    }
    s.rows.push_back(std::move(row));
  }
  rs->Close();
  for (int i = 0; i < db.TableDefsCount(); ++i) s.tables.push_back(db.TableDefName(i));
  return s;
}

void PreviewRecorder::PassBegins(dao::Database& db) {
  before_ = read(db);
}

void PreviewRecorder::PassEnds(dao::Workspace& ws, dao::Database& db) {
  try {
    if (before_) record(read(db));
  } catch (...) {
    before_.reset();
    ws.Rollback();
    throw;
  }
  before_.reset();
  ws.Rollback();
}

// An import only adds rows, and SQLite gives an added row the highest row
// id: the rows before the pass are the first rows after it, in their order.
void PreviewRecorder::record(const Snapshot& after) {
  const auto& old = before_->rows;
  for (std::size_t i = 0; i < after.rows.size(); ++i) {
    const auto& row = after.rows[i];
    const bool added = i >= old.size();
    for (Column c : {kCheckcode, kLists}) {
      if (!(c == kCheckcode ? after.hasCheckcode : after.hasLists)) continue;
      const std::string oldValue = added ? "" : old[i][c];
      // An added row shows with its code, even when that is empty.
      if (row[c] == oldValue && !(added && c == kCheckcode)) continue;
      changes.push_back({.view = table_,
                         .row = row[kName],
                         .column = kColumns[c],
                         .oldValue = oldValue,
                         .newValue = row[c],
                         .addedRow = added});
    }
  }
  for (const auto& table : after.tables)
    if (std::find(before_->tables.begin(), before_->tables.end(), table) == before_->tables.end())
      newTables.push_back(table);
}

ImportPreview PreviewTranslation(ImportState& st, const std::string& strCHKName, const std::string& strDBName,
                                 const std::string& strTableName, bool blnOverwrite, bool blnIgnoreNew,
                                 bool blnGenerateTables) {
  struct Restore {
    ImportState& st;
    PreviewRecorder* recorder;
    bool noMatchLoaded;
    ~Restore() {
      st.previewRecorder = recorder;
      try {
        if (!noMatchLoaded) Discard<FrmNoMatch>(st);
      } catch (...) {
        // A dialog that cannot go away stays; the preview's result stands.
      }
    }
  } restore{st, st.previewRecorder, Loaded<FrmNoMatch>(st) != nullptr};

  auto pass = [&](PreviewRecorder& recorder, bool writing) {
    st.previewRecorder = &recorder;
    // The pass may change its arguments; the caller's stay as given.
    std::string chk = strCHKName, db = strDBName, table = strTableName;
    bool overwrite = blnOverwrite, ignoreNew = writing, tables = blnGenerateTables;
    return TranslateCode(st, chk, db, table, overwrite, ignoreNew, tables);
  };

  ImportPreview preview;
  if (!blnIgnoreNew) {
    PreviewRecorder listing(strTableName);
    const std::size_t before = listedUnmatched(st).size();
    preview.result = pass(listing, false);
    const auto after = listedUnmatched(st);
    preview.unmatched.assign(after.begin() + static_cast<std::ptrdiff_t>(std::min(before, after.size())),
                             after.end());
    if (!preview.result.empty()) return preview;
  }
  PreviewRecorder writing(strTableName);
  preview.result = pass(writing, true);
  preview.changes = std::move(writing.changes);
  preview.newTables = std::move(writing.newTables);
  return preview;
}

std::string UnifiedDiff(const RowChange& change, bool colour) {
  const std::string name = change.view + "/" + change.row + "/" + change.column;
  const std::string oldName = change.addedRow ? "/dev/null" : name;
  std::string diff = UnifiedTextDiff(change.oldValue, change.newValue, oldName, name, colour);
  // Values that differ only in their line ends, and an added row without
  // code, still show that the row changes.
  if (diff.empty() && (change.addedRow || change.oldValue != change.newValue)) {
    const char* on = colour ? "\x1b[1m" : "";
    const char* off = colour ? "\x1b[m" : "";
    diff = std::string(on) + "--- " + oldName + off + "\n" + on + "+++ " + name + off + "\n";
  }
  return diff;
}

std::string PreviewText(const ImportPreview& preview, bool colour, Translator& language) {
  std::string text;
  if (!preview.unmatched.empty()) {
    text += language.T("CHK fields without a row in the view:") + "\n";
    for (const auto& line : preview.unmatched) text += "  " + line + "\n";
    text += "\n";
  }
  for (const auto& change : preview.changes) text += UnifiedDiff(change, colour);
  if (!preview.newTables.empty()) {
    if (!preview.changes.empty()) text += "\n";
    text += language.T("Code tables the import would create:") + "\n";
    for (const auto& table : preview.newTables) text += "  " + table + "\n";
  }
  if (preview.changes.empty() && preview.newTables.empty())
    text += language.T("The import would change nothing in the view.") + "\n";
  return text;
}

std::string PreviewJson(const ImportPreview& preview) {
  nlohmann::json changes = nlohmann::json::array();
  for (const auto& change : preview.changes)
    changes.push_back({{"view", change.view},
                       {"row", change.row},
                       {"column", change.column},
                       {"old", change.addedRow ? nlohmann::json(nullptr) : nlohmann::json(change.oldValue)},
                       {"new", change.newValue}});
  const nlohmann::json out = {{"result", preview.result},
                              {"unmatched", preview.unmatched},
                              {"changes", changes},
                              {"new_tables", preview.newTables}};
  return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace chkimport
