#include "dialogs/frm_no_match.h"

#include "component/import_state.h"
#include "component/routine.h"
#include "services/texts.h"

namespace chkimport {

FrmNoMatch::FrmNoMatch(ImportState& state) : Form(state, "frmNoMatch") {
  Caption = N_("Import Vantrel 6 CHECK Code");
  ClientWidth = 4440;
  ClientHeight = 2745;
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

}  // namespace chkimport
