// END: closes a BEFORE, AFTER, field, JUMPS or value-list block, returns to
// the section around it and, after a value list, has its code table built.
#include "core/import_state.h"
#include "core/migration_notes.h"
#include "core/routine.h"
#include "services/dao.h"
#include "translate/field_code_buffers.h"
#include "translate/scan_words.h"
#include "viewdb/code_tables.h"

namespace chkimport {
namespace {

bool between(int16_t value, int16_t low, int16_t high) {
  return value >= low && value <= high;
}

// The comment that tells the user how to link the field to its new table.
std::string codeTableComment(ImportState& st, const std::string& strCodeTable) {
  std::string text =
      "*" + st.T("Codes have been placed in a new table named:") + " " + strCodeTable + "\r\n*" +
      st.T("that has been created in Plandor.") + "\r\n*" + st.T("Please Right-click on the prompt for") +
      " " + st.strFieldName + "\r\n*" + st.T("and click the CODES button.") + " \r\n*" +
      st.T("Click the USE EXISTING TABLE button to link the field to") + " \r\n*" + strCodeTable + "\r\n*" +
      st.T("The fields of the new table are:") + " " + st.strCodes(0, 0);
  if (!st.strCodes(1, 0).empty()) text += " " + st.T("and") + " " + st.strCodes(1, 0);
  return text;
}

}  // namespace

void onEnd(ImportState& st, PassState& p, Routine& r) {
  r.step([&] { Increment(p.intLevel, -1); });
  st.blnInJumps = false;

  if (st.intBeforeLevel > p.intLevel) {
    st.intBeforeLevel = 0;
    p.intSection = between(st.intAfterLevel, 1, p.intLevel) ? 1 : 2;
  }
  if (st.intAfterLevel > p.intLevel) {
    st.intAfterLevel = 0;
    p.intSection = between(st.intBeforeLevel, 1, p.intLevel) ? 0 : 2;
  }

  if (!st.blnInCodes && !st.blnInLegal) {
    if (p.intLevel < 1) {
      p.intLevel = 0;
      st.blnCodeHeader = false;
      st.intCodeCount = 0;
    }
    return;
  }

  // Closing a value list. Without code tables asked for, its rows are let go.
  if (st.intCodeCount > 1 && p.blnGenerateTables) {
    std::string strName, strCodeTable;
    r.step([&] { strName = p.rsView->Field("Name").ToString(); });
    r.step([&] { strCodeTable = CreateNewCodetable(st, *p.dbView, strName); });
    r.step([&] { PopulateCodeTable(st, *p.dbView, strCodeTable); });
    r.step([&] {
      if (st.migrationNotes && !strCodeTable.empty()) st.migrationNotes->codeTables.push_back(strCodeTable);
    });
    r.step([&] { p.strLine = codeTableComment(st, strCodeTable); });
    StoreAdvice(st, p, r, AdviceKind::CodeTable);
  }

  st.blnInCodes = false;
  st.blnInLegal = false;
  st.blnCommentLegal = false;
  st.blnCodeHeader = false;
  st.intCodeCount = 0;
  r.step([&] { InitCodeContent(st); });
  if (p.intLevel < 1) p.intLevel = 0;
}

}  // namespace chkimport
