#include "dialogs/frm_vlist.h"

#include "core/import_state.h"
#include "core/routine.h"
#include "dialogs/forms.h"
#include "dialogs/frm_import.h"
#include "services/texts.h"

namespace chkimport {

FrmVList::FrmVList(ImportState& state) : Form(state, "frmVList") {
  Caption = N_("Select a table");
  ClientWidth = 4185;
  ClientHeight = 1920;
  // Escape and Cancel close the chooser; the frame offers no close button.
  ControlBox = false;
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
       .Default = true,
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

void FrmVList::Fire(const std::string& control, FormEvent event, int arg) {
  if (Loaded<FrmVList>(st) != this) return;
  if (control.empty() && event == FormEvent::KeyDown) return Form_KeyDown(arg);
  if (control.empty() && event == FormEvent::KeyPress) return Form_KeyPress(arg);
  if (control == "listTable") {
    if (event == FormEvent::Click) return listTable_Click();
    if (event == FormEvent::DblClick) return listTable_DblClick();
    if (event == FormEvent::KeyDown) return ListTable_KeyDown(arg);
    if (event == FormEvent::KeyPress) return ListTable_KeyPress(arg);
  }
  if (event == FormEvent::Click && control == "Cmdok") return Cmdok_Click();
  if (event == FormEvent::Click && control == "Cmdcancel") return Cmdcancel_Click();
}

void FrmVList::listTable_Click() {
  Routine r(st, "listTable_Click, frmVList");
  r.run([&] {
    r.step([&] {
      const Control& list = listTable();
      const bool chosen = list.ListIndex >= 0;
      Instance<FrmImport>(st).SetText("txtTableName",
                                      chosen ? list.List[static_cast<std::size_t>(list.ListIndex)] : "");
      (*this)["Cmdok"].Enabled = chosen;
    });
  });
}

void FrmVList::listTable_DblClick() {
  Routine r(st, "listTable_DblClick, frmVList");
  r.run([&] { r.step([&] { Cmdok_Click(); }); });
}

void FrmVList::Cmdok_Click() {
  Routine r(st, "cmdOK_Click, frmVList");
  r.run([&] {
    const Control& list = listTable();
    if (list.ListIndex < 0) return;
    r.step([&] {
      Instance<FrmImport>(st).SetText("txtTableName", list.List[static_cast<std::size_t>(list.ListIndex)]);
    });
    r.step([&] { st.windowing().Hide(*this); });
    r.step([&] { Unload(st, *this); });
  });
}

void FrmVList::Cmdcancel_Click() {
  Routine r(st, "Cmdcancel_Click, frmVList");
  r.run([&] {
    st.strResult = "CANCEL";
    r.step([&] { Unload(st, *this); });
  });
}

void FrmVList::Form_KeyDown(int KeyCode) {
  PassKeyToCheckESC(*this, "Form_KeyDown, frmVList", KeyCode);
}

void FrmVList::Form_KeyPress(int KeyAscii) {
  PassKeyToCheckESC(*this, "Form_KeyPress, frmVList", KeyAscii);
}

void FrmVList::ListTable_KeyDown(int KeyCode) {
  PassKeyToCheckESC(*this, "ListTable_KeyDown, frmVList", KeyCode);
}

void FrmVList::ListTable_KeyPress(int KeyAscii) {
  PassKeyToCheckESC(*this, "ListTable_KeyPress, frmVList", KeyAscii);
}

void FrmVList::CheckESC(int KeyCode) {
  Routine r(st, "CheckESC, frmVList");
  r.run([&] {
    if (KeyCode == vbKeyEscape) r.step([&] { Cmdcancel_Click(); });
  });
}

}  // namespace chkimport
