#include "dialogs/frm_vlist.h"

#include "component/import_state.h"
#include "component/routine.h"
#include "services/texts.h"

namespace chkimport {

FrmVList::FrmVList(ImportState& state) : Form(state, "frmVList") {
  Caption = N_("Select a table");
  ClientWidth = 4185;
  ClientHeight = 1920;
  add({.Name = "lblListTable",
       .Kind = ControlKind::Label,
       .Caption = N_("Tables:"),
       .TabIndex = 1,
       .Left = 120,
       .Top = 60,
       .Width = 2655,
       .Height = 255});
  add({.Name = "listTable",
       .Kind = ControlKind::ListBox,
       .TabIndex = 0,
       .Sorted = true,
       .Left = 120,
       .Top = 360,
       .Width = 2655,
       .Height = 1425});
  add({.Name = "Cmdok",
       .Kind = ControlKind::CommandButton,
       .Caption = N_("&OK"),
       .TabIndex = 2,
       .Enabled = false,
       .Left = 2940,
       .Top = 360,
       .Width = 1095,
       .Height = 375});
  add({.Name = "Cmdcancel",
       .Kind = ControlKind::CommandButton,
       .Caption = N_("&Cancel"),
       .TabIndex = 3,
       .Left = 2940,
       .Top = 840,
       .Width = 1095,
       .Height = 375});
}

void FrmVList::Form_Load() {
  Routine r(st, "Form_Load, frmVList");
  r.run([&] {
    r.step([&] { (*this)["lblListTable"].Caption = "Tables:"; });
    r.step([&] {
      if (!st.objLanguage) Raise(vberr::ObjectNotSet, "Object variable or With block variable not set");
      st.objLanguage->Translate(*this);
    });
    r.step([&] { (*this)["Cmdok"].Enabled = false; });
  });
}

}  // namespace chkimport
