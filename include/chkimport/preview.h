// What an import would change, found by running it and rolling it back.
//
//   chkimport::ImportPreview preview = imp->PreviewCHKCode("form.chk", "form.db", "viewForm",
//                                                          /*blnOverwrite=*/true,
//                                                          /*blnIgnoreNew=*/true,
//                                                          /*blnGenerateTables=*/false);
//   for (const auto& change : preview.changes) std::cout << chkimport::UnifiedDiff(change, false);
//
// Plain data only, so that bindings to other languages can copy it as it is.
#pragma once

#include <string>
#include <vector>

#include "chkimport/export.h"

namespace chkimport {

// One column of one view row whose value the import would change. A Null
// value reads as "".
struct RowChange {
  std::string view;    // the view table
  std::string row;     // the row's Name
  std::string column;  // "Checkcode" or "Lists"
  std::string oldValue;
  std::string newValue;
  bool addedRow = false;  // the import would add the row (oldValue is then "")
};

struct ImportPreview {
  // What the import would return: "" on success, otherwise a message.
  std::string result;
  // The CHK lines that name a field without a row in the view; only filled
  // when the preview was asked with blnIgnoreNew false, as the listing pass
  // would show them.
  std::vector<std::string> unmatched;
  // The changed columns in the view table's row order, Checkcode before Lists.
  std::vector<RowChange> changes;
  // The code tables the import would create, in the order it would create them.
  std::vector<std::string> newTables;
};

// The change as a unified diff of its lines (CRLF and LF both end a line),
// with three lines of context, headed "--- view/row/column" and
// "+++ view/row/column". With `colour`, the headers, hunk ranges, removed and
// added lines carry terminal colour codes.
CHKIMPORT_API std::string UnifiedDiff(const RowChange& change, bool colour);

}  // namespace chkimport
