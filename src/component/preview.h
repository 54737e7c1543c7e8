// Previews of an import: its passes run as usual, each in a transaction that
// is rolled back at its end, and what they changed is read back first.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "chkimport/preview.h"

namespace chkimport {

struct ImportState;
class Translator;

namespace dao {
class Database;
class Workspace;
}  // namespace dao

// Hung on the import state while a preview runs. A pass that finds it there
// records the view table and the database's tables when its transaction
// begins, records them again before it ends, and then rolls back instead
// of committing.
class PreviewRecorder {
 public:
  explicit PreviewRecorder(std::string strTableName) : table_(std::move(strTableName)) {}

  // Right after the pass's transaction began.
  void PassBegins(dao::Database& db);
  // Instead of committing: what changed since PassBegins is added to
  // `changes` and `newTables`, then the transaction is rolled back, also
  // when reading the changes fails.
  void PassEnds(dao::Workspace& ws, dao::Database& db);

  std::vector<RowChange> changes;
  std::vector<std::string> newTables;

 private:
  struct Snapshot {
    // Name, Checkcode and Lists of every row, in row order; Null, or a
    // column the table lacks, as "".
    std::vector<std::vector<std::string>> rows;
    bool hasCheckcode = false, hasLists = false;
    std::vector<std::string> tables;
  };
  Snapshot read(dao::Database& db) const;
  void record(const Snapshot& after);

  std::string table_;
  std::optional<Snapshot> before_;
};

// Runs the import's passes against a set-up GetViewTables has checked, as
// the import would run them, and rolls each back: with blnIgnoreNew false
// the listing pass first (its unmatched lines are kept; a message ends the
// preview there), then the writing pass. The module is left as it was found:
// no dialog stays loaded that was not.
ImportPreview PreviewTranslation(ImportState& st, const std::string& strCHKName, const std::string& strDBName,
                                 const std::string& strTableName, bool blnOverwrite, bool blnIgnoreNew,
                                 bool blnGenerateTables);

// The preview as a person reads it, as the command line prints it and the
// import dialog shows it: the unmatched lines, a unified diff of each
// change, the code tables that would be made, or a line saying that nothing
// would change.
std::string PreviewText(const ImportPreview& preview, bool colour, Translator& language);

// The preview as JSON on one line: {"result": ..., "unmatched": [...],
// "changes": [{"view", "row", "column", "old", "new"}, ...], "new_tables": [...]},
// "old" null for a row the import would add.
std::string PreviewJson(const ImportPreview& preview);

}  // namespace chkimport
