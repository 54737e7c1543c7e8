#include "dialogs/init_language.h"

#include "chkimport/catalog_translator.h"
#include "core/import_state.h"
#include "dialogs/form1.h"
#include "dialogs/forms.h"
#include "dialogs/frm_import.h"

namespace chkimport {

void InitLanguage(ImportState& st) {
  st.blnTrapErrors = true;
  try {
    st.objErrorStack = Instance<Form1>(st).Mishtrak1;
    st.strLanguage = st.objErrorStack->IniRead("Variables", "Language", "English");
    // The current folder stays the user's: the CHK and include paths they
    // give are relative to it. The component's own files are found by path.
    if (!st.objLanguage) {
      st.ownLanguage = std::make_unique<CatalogTranslator>(
          st.host.languagesDir.empty() ? std::filesystem::path(CHKIMPORT_INSTALLED_LANGUAGES)
                                       : std::filesystem::path(st.host.languagesDir));
      st.objLanguage = st.ownLanguage.get();
    }
    st.objLanguage->setTable("PLANDOR");
    st.objLanguage->setLANGUAGE(st.strLanguage);
    st.objLanguage->setTest(true);
    if (FrmImport* dialog = Loaded<FrmImport>(st)) st.objLanguage->Translate(*dialog);
  } catch (const std::exception&) {
    const std::string message = "Cannot load MISHTRAK.OCX or it's not registered.";
    st.MsgBox(st.objLanguage ? st.objLanguage->T(message) : message);
  }
}

}  // namespace chkimport
