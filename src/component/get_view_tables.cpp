#include "component/get_view_tables.h"

#include <filesystem>
#include <memory>

#include "core/import_state.h"
#include "core/routine.h"
#include "dialogs/form1.h"
#include "dialogs/forms.h"
#include "dialogs/frm_vlist.h"
#include "services/dao.h"
#include "services/file_paths.h"
#include "services/texts.h"

namespace chkimport {

std::string GetViewTables(ImportState& st, std::string& strCHKName, std::string& strDBName,
                          std::string& strTableName, bool& blnShowGUI) {
  // A host that holds a transaction of the database has the set-up look
  // at the database through it, as the pass will.
  dao::Workspace& ws = st.passWorkspace ? *st.passWorkspace : dao::DBEngine::Workspaces(0);
  ws.SetLockWait(st.host.lockWait, st.host.lockWaiting);

  // Trapping starts here for good; the language is that of the user's
  // settings at every import. No handler of this routine covers this step.
  st.blnTrapErrors = true;
  const std::string language = Instance<Form1>(st).Mishtrak1->IniRead("VARIABLES", "LANGUAGE", "ENGLISH");
  if (!st.objLanguage) Raise(vberr::ObjectNotSet, "Object variable or With block variable not set");
  st.objLanguage->setLANGUAGE(language);

  try {
    st.objErrorStack = Instance<Form1>(st).Mishtrak1;
  } catch (const std::exception&) {
    st.MsgBox(st.T("Cannot load MISHTRAK.OCX or it's not registered."));
    return "";
  }

  std::string result;
  Routine r(st, "GetViewTables, ImportCHKCode");
  return r.run(result, [&] {
    if (!IsNormalFile(strDBName)) {
      result = N_("MDB file not found.");
      return;
    }

    std::unique_ptr<dao::Database> db;
    try {
      db = ws.OpenDatabase(strDBName);
    } catch (const VbError&) {
      result = N_("Cannot open database.");
    }
    if (!result.empty()) return;

    if (!IsNormalFile(strCHKName)) {
      result = N_("CHECK file not found.");
      return;
    }

    r.step([&] { Discard<FrmVList>(st); });

    bool blnFound = false;
    int intCount = 0;
    r.step([&] { intCount = db->TableDefsCount(); });
    for (int i = 0; i < intCount; ++i) {
      r.step([&] {
        const std::string name = db->TableDefName(i);
        if (name.compare(0, 4, "view") == 0) {
          Instance<FrmVList>(st).listTable().AddItem(name);
          blnFound = true;
        }
      });
    }

    if (!blnFound) {
      result = N_("No tables available.");
      return;
    }

    if (!strTableName.empty()) {
      bool blnListed = false;
      r.step([&] {
        const Control& list = Instance<FrmVList>(st).listTable();
        for (int i = 0; i < list.ListCount(); ++i)
          if (list.List[static_cast<std::size_t>(i)] == strTableName) blnListed = true;
      });
      if (!blnListed) result = N_("Table Not In MDB");
    }

    if (blnShowGUI) {
      r.step([&] { Instance<FrmVList>(st).SetListIndex("listTable", 0); });
      r.step([&] { st.windowing().ShowModal(Instance<FrmVList>(st)); });
    }

    if (st.strResult == "CANCEL") result = "CANCEL";

    const std::string folder = FolderOf(strCHKName);
    if (!folder.empty()) st.strCHKFolder = folder;
  });
}

}  // namespace chkimport
