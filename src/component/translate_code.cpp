#include "component/translate_code.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "component/preview.h"
#include "core/import_state.h"
#include "core/migration_notes.h"
#include "core/routine.h"
#include "dialogs/forms.h"
#include "dialogs/frm_no_match.h"
#include "services/dao.h"
#include "services/table_names.h"
#include "services/texts.h"
#include "services/vb_strings.h"
#include "translate/extract_words.h"
#include "translate/field_code_buffers.h"
#include "translate/scan_words.h"
#include "viewdb/check_code_storage.h"

namespace chkimport {
namespace {

// The object held in `object`; "Object variable not set" when there is
// none, as when opening it failed and the user went on all the same.
template <class T>
T& Object(T* object) {
  if (!object) Raise(vberr::ObjectNotSet, "Object variable or With block variable not set");
  return *object;
}

template <class T>
T& Object(const std::unique_ptr<T>& object) {
  return Object(object.get());
}

// The database objects of one pass and its transaction. Whatever way the
// pass ends, what it wrote is committed once (rolled back in a preview) and
// everything is closed in the order recordset, database, workspace. The
// workspace is the pass's own, or the host's when the host holds a
// transaction that the pass is to be part of.
class PassDatabase {
 public:
  explicit PassDatabase(ImportState& st) : st_(st) {}
  ~PassDatabase() { close(); }
  PassDatabase(const PassDatabase&) = delete;
  PassDatabase& operator=(const PassDatabase&) = delete;

  dao::Workspace* ws = nullptr;
  std::unique_ptr<dao::Database> dbView;
  std::unique_ptr<dao::Recordset> rsView;

  void createWorkspace() {
    if (st_.passWorkspace) {
      ws = st_.passWorkspace;
      return;
    }
    ownWs_ = dao::DBEngine::CreateWorkspace("CHK Import", "Admin", "", dao::dbUseDefault);
    ownWs_->SetLockWait(st_.host.lockWait, st_.host.lockWaiting);
    ws = ownWs_.get();
  }

  // Begins the pass's transaction. A writing pass takes the database's
  // write lock first, so that a database that another program holds, or
  // that cannot be written, fails here, once, before anything is done; that
  // failure is returned.
  std::optional<VbError> begin(bool blnWriting) {
    dao::Database& db = Object(dbView);
    dao::Workspace& workspace = Object(ws);
    try {
      workspace.BeginTrans(blnWriting);
    } catch (const VbError& e) {
      return e;
    }
    inTransaction_ = true;
    if (st_.previewRecorder) st_.previewRecorder->PassBegins(db);
    return std::nullopt;
  }

  // The transaction failed: nothing of the pass can be kept.
  bool failed() const { return dbView && dbView->TransactionFailed(); }

  // Commits (rolls back in a preview) and closes. A commit that fails
  // leaves nothing of the pass; its failure is kept in `failure`.
  void close() noexcept {
    const bool commit = inTransaction_;
    inTransaction_ = false;
    try {
      // Closing writes the edits the recordset holds back; a failure there
      // fails the commit.
      if (rsView) rsView->Close();
    } catch (...) {
    }
    if (commit && ws && dbView) {
      try {
        if (st_.previewRecorder) {
          st_.previewRecorder->PassEnds(*ws, *dbView);
        } else {
          ws->CommitTrans();
          st_.lngRowsWritten = dbView->RowsChanged();
        }
      } catch (const VbError& e) {
        failure = e;
      } catch (...) {
        failure = AsVbError(std::current_exception());
      }
    }
    rsView.reset();
    dbView.reset();
    ownWs_.reset();
    ws = nullptr;
  }

  std::optional<VbError> failure;

 private:
  ImportState& st_;
  std::unique_ptr<dao::Workspace> ownWs_;
  bool inTransaction_ = false;
};

// The result of a pass whose work could not be kept, and why.
std::string NotSaved(ImportState& st, const VbError& e) {
  const std::string why =
      e.Number == dao::dbe::Locked ? st.T("the database is in use by another program") : e.Description;
  return (st.previewRecorder ? st.T("The preview failed:") : st.T("The import was not saved:")) + " " + why;
}

// Closes every file of the input-file stack.
void closeInputFiles(ImportState& st) {
  for (int depth = st.intFileDepth; depth >= 0; --depth) {
    if (st.intFileNumbers(depth) != 0) st.Close(st.intFileNumbers(depth));
    st.intFileNumbers(depth) = 0;
  }
  st.intFileDepth = 0;
  st.intCurrentFile = 0;
}

// Closes the input files however the pass ends, an error passing through
// included.
class InputFiles {
 public:
  explicit InputFiles(ImportState& st) : st_(st) {}
  ~InputFiles() { closeInputFiles(st_); }
  InputFiles(const InputFiles&) = delete;
  InputFiles& operator=(const InputFiles&) = delete;

 private:
  ImportState& st_;
};

}  // namespace

std::string TranslateCode(ImportState& st, std::string& strCHKName, std::string& strDBName,
                          std::string& strTableName, bool& blnOverwrite, bool& blnIgnoreNew,
                          bool& blnGenerateTables) {
  std::string result;
  // The language stays as it is while a pass runs.
  struct PassTexts {
    ImportState& st;
    explicit PassTexts(ImportState& state) : st(state) {
      st.passTexts.clear();
      st.passTextsOn = true;
    }
    ~PassTexts() {
      st.passTextsOn = false;
      st.passTexts.clear();
    }
  } texts(st);
  PassDatabase pass(st);
  Routine r(st, "TranslateCode, ImportCHKCode");
  PassState p;
  p.strTableName = strTableName;
  p.blnOverwrite = blnOverwrite;
  p.blnIgnoreNew = blnIgnoreNew;
  p.blnGenerateTables = blnGenerateTables;
  bool blnAnyMatch = false;
  InputFiles files(st);
  st.lngRowsWritten = 0;
  st.passCounts = {};
  // Every few hundred lines, and at the end however the pass ends.
  auto counted = [&st] {
    if ((++st.passCounts.lines & 255) == 0) st.ReportProgress();
  };
  struct Finally {
    ImportState& st;
    ~Finally() { st.ReportProgress(); }
  } reportAtEnd{st};

  r.run(result, [&] {
    st.intBeforeCount = 0;
    st.intAfterCount = 0;
    st.intStagedCount = 0;
    st.intJumpCount = 0;
    st.intBeforeLevel = 0;
    st.intAfterLevel = 0;
    st.takenTableNames = {};  // they belong to another pass's database
    st.includeOpenings = 0;
    st.blnIncludesStopped = false;
    if (st.migrationNotes) *st.migrationNotes = {};  // the notes are those of the last pass

    p.intSection = 2;
    r.step([&] { InitializeArray(st); });
    p.blnPending = false;
    p.blnVariablesRow = false;

    r.step([&] { pass.createWorkspace(); });
    r.step([&] { pass.dbView = Object(pass.ws).OpenDatabase(strDBName); });
    std::optional<VbError> notBegun;
    r.step([&] { notBegun = pass.begin(p.blnIgnoreNew); });
    if (notBegun) {
      result = NotSaved(st, *notBegun);
      return;
    }
    r.step([&] {
      pass.rsView =
          Object(pass.dbView)
              .OpenRecordset("Select * from " + QuotedTableName(strTableName) + " where Pagenumber >= 0",
                             dao::dbOpenDynaset, "Name");
    });
    p.dbView = pass.dbView.get();
    p.rsView = pass.rsView.get();

    r.step([&] { p.rsView->MoveFirst(); });
    r.step([&] { st.strBookmark = p.rsView->Bookmark(); });

    r.step([&] { st.intFileNumbers(0) = st.FreeFile(); });
    st.intFileDepth = 0;
    st.strFileNames(0) = strCHKName;
    r.step([&] { st.OpenInput(st.intFileNumbers(0), strCHKName); });
    p.intLevel = 0;
    st.intCurrentFile = st.intFileNumbers(0);

    auto insert = [&](const std::string& text) {
      r.step([&] {
        if (InsertNewContent(st, p.intSection, text)) p.blnPending = true;
      });
    };

    // The next line: the rest of the previous one, else the current file's
    // next line; exhausted include files are closed on the way, each leaving
    // an end marker in the code. False when the CHK file is exhausted.
    auto nextLine = [&]() {
      if (!p.strRest.empty()) {
        p.strLine = p.strRest;
        p.strRest = "";
        return true;
      }
      bool blnHaveLine = false;
      r.step([&] {
        if (!st.File(st.intCurrentFile).AtEnd()) {
          st.File(st.intCurrentFile).ReadLine(p.strLine);
          blnHaveLine = true;
          if (st.migrationNotes) ++st.migrationNotes->linesRead;
        }
      });
      if (blnHaveLine) {
        counted();
        return true;
      }
      auto includeExhausted = [&] {
        bool blnExhausted = false;
        r.step([&] { blnExhausted = st.intFileDepth > 0 && st.File(st.intCurrentFile).AtEnd(); });
        return blnExhausted;
      };
      while (includeExhausted()) {
        r.step([&] {
          p.strLine = "*/\\ /\\ /\\ " + st.T("End of checkcode included from file:") + " " +
                      st.strFileNames(st.intFileDepth) + " /\\ /\\ /\\";
        });
        if (p.blnIgnoreNew && p.intLevel >= 1) insert(p.strLine);
        r.step([&] { st.Close(st.intCurrentFile); });
        r.step([&] { st.intFileNumbers(st.intFileDepth) = 0; });
        r.step([&] { Increment(st.intFileDepth, -1); });
        r.step([&] { st.intCurrentFile = st.intFileNumbers(st.intFileDepth); });
      }
      r.step([&] {
        if (!st.File(st.intCurrentFile).AtEnd()) {
          st.File(st.intCurrentFile).ReadLine(p.strLine);
          blnHaveLine = true;
          if (st.migrationNotes) ++st.migrationNotes->linesRead;
        }
      });
      if (blnHaveLine) counted();
      return blnHaveLine;
    };

    // A transaction that failed cannot be kept: the rest of the pass would
    // only fail again at each write.
    while (!pass.failed() && nextLine()) {
      TrimInPlace(p.strLine);

      if (!p.strLine.empty() && p.strLine.front() == '*' && p.intLevel > 0 && p.blnIgnoreNew) {
        insert(p.strLine);
        continue;
      }

      r.step([&] { ExtractWords(st, *p.rsView, p.strLine, p.strRest); });

      if (p.intLevel == 0 && st.strWords(0).rfind('*', 0) != 0) {
        const std::string& word0 = st.strWords(0);
        const std::string& word1 = st.strWords(1);
        if (!word1.empty() && word0 != "INCLUDE" && word1 != "FILE" && word1 != "RECORD") {
          p.strRest = Right(p.strLine, Len(p.strLine) - (Len(word0) + 1));
          p.strLine = word0;
        }
        r.step([&] {
          if (!st.objFieldNameService) st.objFieldNameService = std::make_unique<FieldNameService>();
          std::string strWord = st.strWords(0);
          const std::string strMapped = st.objFieldNameService->MapFieldName(strWord, 13, nullptr, nullptr);
          if (strMapped != st.strWords(0) && strMapped != "VANTREL") {
            p.strLine = strMapped;
            st.strWords(0) = strMapped;
          }
        });
      }

      if (st.strWords(0).empty()) continue;

      bool blnHandled = false;
      r.step([&] { blnHandled = ScanWords(st, p); });
      if (blnHandled) continue;

      if (Trim(st.strWords(0)).rfind('*', 0) == 0) {
        if (p.blnIgnoreNew && p.intLevel > 0) insert(p.strLine);
        continue;
      }

      if (p.intLevel == 0) {
        const std::string strPrevBookmark = st.strBookmark;
        r.step([&] { GetBookmark(st, *p.rsView, st.strWords(0)); });
        if (st.strBookmark.empty() || !st.strWords(1).empty()) {
          st.strBookmark = strPrevBookmark;
          if (st.migrationNotes) st.migrationNotes->unmatched.push_back(p.strLine);
          if (!p.blnIgnoreNew) r.step([&] { Instance<FrmNoMatch>(st).listNoMatch().AddItem(p.strLine); });
          continue;
        }
        r.step([&] { Increment(p.intLevel); });
        blnAnyMatch = true;
        ++st.passCounts.fields;
        if (!p.blnIgnoreNew) continue;

        st.strFieldName = st.strWords(0);
        if (st.migrationNotes) st.migrationNotes->row.clear();
        if (p.blnPending) {
          const std::string strNewBookmark = st.strBookmark;
          st.strBookmark = strPrevBookmark;
          r.step([&] { WriteDeclarations(st, p, st.strBookmark); });
          r.step([&] { ImportCode(st, *p.rsView); });
          r.step([&] { InitializeArray(st); });
          p.intSection = 2;
          p.blnPending = false;
          st.strBookmark = strNewBookmark;
        }
        r.step([&] { WriteDeclarations(st, p, st.strBookmark); });
        r.step([&] { p.rsView->SetBookmark(st.strBookmark); });
        bool blnClear = p.blnOverwrite;
        if (!blnClear) r.step([&] { blnClear = p.rsView->Field("Checkcode").IsNull(); });
        if (blnClear) {
          r.step([&] { p.rsView->Edit(); });
          r.step([&] { p.rsView->SetField("Checkcode", ""); });
          r.step([&] { p.rsView->Update(); });
        }
        if (!p.blnOverwrite) {
          std::string strStored;
          r.step([&] { strStored = p.rsView->Field("Checkcode").ToString(); });
          r.step([&] {
            if (InsertNewContent(st, 9, strStored)) p.blnPending = true;
          });
        }
        continue;
      }

      if (!p.blnIgnoreNew) continue;
      if ((st.blnInCodes || st.blnInLegal) && st.intCodesLevel <= p.intLevel) {
        st.codeRowsWritten = std::max<int16_t>(st.codeRowsWritten, st.intCodeCount + 1);
        if (st.blnCommentLegal) {
          r.step([&] { st.strCodes(0, st.intCodeCount) = st.strWords(0) + "-" + st.strWords(1); });
        } else {
          r.step([&] { st.strCodes(0, st.intCodeCount) = st.strWords(0); });
          r.step([&] { st.strCodes(1, st.intCodeCount) = st.strWords(1); });
        }
        r.step([&] { Increment(st.intCodeCount); });
        continue;
      }
      if (st.blnInJumps) {
        p.strLine =
            "IF " + st.strFieldName + " = " + st.strWords(0) + " THEN\r\nGOTO " + st.strWords(1) + "\r\nEND";
        // Out of range past the last row, saying which table is full.
        auto jumpRow = [&](int column) -> std::string& {
          if (st.intJumpCount > 500)
            Raise(vberr::SubscriptOutOfRange,
                  "Subscript out of range: more than 501 JUMPS rows (field " + st.strFieldName + ")");
          return st.strJumps(column, st.intJumpCount);
        };
        r.step([&] { jumpRow(0) = st.strFieldName; });
        r.step([&] { jumpRow(1) = st.strWords(0); });
        r.step([&] { jumpRow(2) = st.strWords(1); });
        r.step([&] { Increment(st.intJumpCount); });
      } else if (InStr(p.strLine, "=") > 0) {
        p.strLine = "ASSIGN " + p.strLine;
      }
      insert(p.strLine);
    }

    if (pass.failed()) return;
    if (blnAnyMatch) {
      if (p.blnIgnoreNew && p.blnPending) {
        r.step([&] { WriteDeclarations(st, p, st.strBookmark); });
        r.step([&] { ImportCode(st, *p.rsView); });
      }
    } else {
      result = N_("No matching fields were found.");
    }
    r.step([&] { WriteDeclarations(st, p, ""); });
    r.step([&] { closeInputFiles(st); });
    pass.close();
  });

  // Leaving through the handler skips the end of the pass: the files are
  // closed and what was written is committed all the same, the variables'
  // declarations included.
  if (p.declarations.pending && pass.rsView && !pass.failed()) {
    try {
      WriteDeclarations(st, p, "");
    } catch (const VbError& e) {
      st.errorLog() << "chkimport: error " << e.Number << ": " << e.Description << "\n";
    }
  }
  closeInputFiles(st);
  pass.close();
  if (pass.failure) result = NotSaved(st, *pass.failure);
  return result;
}

}  // namespace chkimport
