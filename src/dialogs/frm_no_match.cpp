#include "dialogs/frm_no_match.h"

#include "component/translate_code.h"
#include "core/import_state.h"
#include "core/routine.h"
#include "dialogs/forms.h"
#include "dialogs/frm_import.h"
#include "services/texts.h"

namespace chkimport {

FrmNoMatch::FrmNoMatch(ImportState& state) : Form(state, "frmNoMatch") {
  Caption = N_("Import Vantrel 6 CHECK Code");
  ClientWidth = 4440;
  ClientHeight = 2745;
  // Escape and Cancel close the dialog; the frame offers no close button.
  ControlBox = false;
  add({.Name = "lblListTable",
       .Kind = ControlKind::Label,
       .Caption = N_("Vantrel 6 Fields not found in Vantrel 2000 field list:"),
       .TabIndex = 1,
       .Left = 120,
       .Top = 60,
       .Width = 4200,
       .Height = 255});
  add({.Name = "listNoMatch",
       .Kind = ControlKind::ListBox,
       .TabIndex = 0,
       .Left = 120,
       .Top = 360,
       .Width = 4200,
       .Height = 1230});
  add({.Name = "lblPrompt",
       .Kind = ControlKind::Label,
       .Caption = N_("Do you want to import code for the fields that had a match?"),
       .TabIndex = 4,
       .Left = 120,
       .Top = 1680,
       .Width = 4200,
       .Height = 435});
  add({.Name = "Cmdok",
       .Kind = ControlKind::CommandButton,
       .Caption = N_("&OK"),
       .TabIndex = 2,
       .Default = true,
       .Left = 1680,
       .Top = 2220,
       .Width = 1095,
       .Height = 375});
  add({.Name = "Cmdcancel",
       .Kind = ControlKind::CommandButton,
       .Caption = N_("&Cancel"),
       .TabIndex = 3,
       .Left = 3225,
       .Top = 2220,
       .Width = 1095,
       .Height = 375});
}

void FrmNoMatch::Form_Load() {
  Routine r(st, "Form_Load, frmNoMatch");
  r.run([&] {
    r.step([&] {
      if (!st.objLanguage) Raise(vberr::ObjectNotSet, "Object variable or With block variable not set");
      st.objLanguage->Translate(*this);
    });
  });
}

void FrmNoMatch::Fire(const std::string& control, FormEvent event, int arg) {
  if (Loaded<FrmNoMatch>(st) != this) return;
  if (control.empty() && event == FormEvent::KeyDown) return Form_KeyDown(arg);
  if (control.empty() && event == FormEvent::KeyPress) return Form_KeyPress(arg);
  if (control == "listNoMatch") {
    if (event == FormEvent::Click) return listNoMatch_Click();
    if (event == FormEvent::KeyDown) return ListNoMatch_KeyDown(arg);
    if (event == FormEvent::KeyPress) return ListNoMatch_KeyPress(arg);
  }
  if (event == FormEvent::Click && control == "Cmdok") return Cmdok_Click();
  if (event == FormEvent::Click && control == "Cmdcancel") return Cmdcancel_Click();
}

// The list only informs: no entry stays selected.
void FrmNoMatch::listNoMatch_Click() {
  Routine r(st, "listNoMatch_Click, frmNoMatch");
  r.run([&] {
    if (listNoMatch().ListCount() >= 1) listNoMatch().ListIndex = -1;
  });
}

// The second run: the fields that matched are imported.
void FrmNoMatch::Cmdok_Click() {
  Routine r(st, "cmdOK_Click, frmNoMatch");
  r.run([&] {
    r.step([&] {
      FrmImport& dialog = Instance<FrmImport>(st);
      std::string strCHKName = dialog.Text("txtFileName"), strDBName = dialog.Text("txtDBName");
      std::string strTableName = dialog.Text("txtTableName");
      bool blnOverwrite = dialog.Ticked("chkOverwrite"), blnIgnoreNew = true;
      bool blnGenerateTables = dialog.Ticked("chkGenerateTables");
      st.strResult = TranslateCode(st, strCHKName, strDBName, strTableName, blnOverwrite, blnIgnoreNew,
                                   blnGenerateTables);
    });
    r.step([&] { st.windowing().Hide(*this); });
    r.step([&] { Unload(st, *this); });
  });
}

void FrmNoMatch::Cmdcancel_Click() {
  Routine r(st, "Cmdcancel_Click, frmNoMatch");
  r.run([&] {
    st.strResult = "CANCEL";
    r.step([&] { Unload(st, *this); });
  });
}

void FrmNoMatch::Form_KeyDown(int KeyCode) {
  PassKeyToCheckESC(*this, "Form_KeyDown, frmNoMatch", KeyCode);
}

void FrmNoMatch::Form_KeyPress(int KeyAscii) {
  PassKeyToCheckESC(*this, "Form_KeyPress, frmNoMatch", KeyAscii);
}

void FrmNoMatch::ListNoMatch_KeyDown(int KeyCode) {
  PassKeyToCheckESC(*this, "ListNoMatch_KeyDown, frmNoMatch", KeyCode);
}

void FrmNoMatch::ListNoMatch_KeyPress(int KeyAscii) {
  PassKeyToCheckESC(*this, "ListNoMatch_KeyPress, frmNoMatch", KeyAscii);
}

void FrmNoMatch::CheckESC(int KeyCode) {
  Routine r(st, "CheckESC, frmNoMatch");
  r.run([&] {
    if (KeyCode == vbKeyEscape) r.step([&] { Cmdcancel_Click(); });
  });
}

}  // namespace chkimport
