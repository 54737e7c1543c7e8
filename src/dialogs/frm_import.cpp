#include "dialogs/frm_import.h"

#include <filesystem>

#include "component/get_view_tables.h"
#include "component/preview.h"
#include "component/translate_code.h"
#include "core/import_state.h"
#include "core/routine.h"
#include "dialogs/close_down.h"
#include "dialogs/forms.h"
#include "dialogs/frm_no_match.h"
#include "dialogs/init_language.h"
#include "services/texts.h"
#include "services/vb_strings.h"

namespace chkimport {
namespace {

// Character 188 of the symbol font the buttons were drawn with.
constexpr const char* kEllipsis = "\u2026";

}  // namespace

FrmImport::FrmImport(ImportState& state) : Form(state, "frmImport") {
  Caption = N_("Import Vantrel 6 CHECK Code");
  ClientWidth = 6480;
  ClientHeight = 3255;
  KeyPreview = true;
  add({.Name = "lblFileName",
       .Kind = ControlKind::Label,
       .Caption = N_("Path and Filename of CHK file"),
       .TabIndex = 2,
       .Left = 120,
       .Top = 120,
       .Width = 5775,
       .Height = 255});
  add({.Name = "txtFileName",
       .Kind = ControlKind::TextBox,
       .TabIndex = 0,
       .Left = 120,
       .Top = 375,
       .Width = 5835,
       .Height = 315});
  add({.Name = "cmdBrowseCHK",
       .Kind = ControlKind::CommandButton,
       .Caption = kEllipsis,
       .ToolTipText = N_("Browse for CHK File"),
       .TabIndex = 4,
       .Left = 6000,
       .Top = 375,
       .Width = 360,
       .Height = 315});
  add({.Name = "lblDBName",
       .Kind = ControlKind::Label,
       .Caption = N_("Path and Filename of MDB file"),
       .TabIndex = 3,
       .Left = 120,
       .Top = 780,
       .Width = 5775,
       .Height = 255});
  add({.Name = "txtDBName",
       .Kind = ControlKind::TextBox,
       .TabIndex = 1,
       .Left = 120,
       .Top = 1035,
       .Width = 5835,
       .Height = 315});
  add({.Name = "cmdBrowseMDB",
       .Kind = ControlKind::CommandButton,
       .Caption = kEllipsis,
       .ToolTipText = N_("Browse for MDB"),
       .TabIndex = 5,
       .Left = 6000,
       .Top = 1035,
       .Width = 360,
       .Height = 315});
  add({.Name = "chkOverwrite",
       .Kind = ControlKind::CheckBox,
       .Caption = N_("Overwrite any existing CHECK code"),
       .TabIndex = 8,
       .Value = 1,
       .Left = 120,
       .Top = 1470,
       .Width = 6240,
       .Height = 255});
  add({.Name = "chkIgnoreNew",
       .Kind = ControlKind::CheckBox,
       .Caption = N_("Suppress summary report of Vantrel 6 fields that do not match Vantrel 2000 field list"),
       .TabIndex = 9,
       .Value = 1,
       .Left = 120,
       .Top = 1740,
       .Width = 6240,
       .Height = 435});
  add({.Name = "chkGenerateTables",
       .Kind = ControlKind::CheckBox,
       .Caption = N_("Automatically generate Code Tables (lookup tables)"),
       .TabIndex = 10,
       .Value = 1,
       .Left = 120,
       .Top = 2190,
       .Width = 6240,
       .Height = 255});
  // The table name is shown and labelled, so the user sees which view
  // receives the code.
  add({.Name = "lblTableName",
       .Kind = ControlKind::Label,
       .Caption = N_("View table:"),
       .TabIndex = 12,
       .Left = 120,
       .Top = 2850,
       .Width = 1035,
       .Height = 255});
  add({.Name = "txtTableName",
       .Kind = ControlKind::TextBox,
       .TabIndex = 11,
       .Left = 1200,
       .Top = 2790,
       .Width = 1425,
       .Height = 315});
  add({.Name = "cmdPreview",
       .Kind = ControlKind::CommandButton,
       .Caption = N_("&Preview"),
       .ToolTipText = N_("Show what OK would change, without changing anything"),
       .TabIndex = 13,
       .Left = 2715,
       .Top = 2760,
       .Width = 1155,
       .Height = 375});
  add({.Name = "cmdOK",
       .Kind = ControlKind::CommandButton,
       .Caption = N_("&OK"),
       .TabIndex = 6,
       .Default = true,
       .Left = 3960,
       .Top = 2760,
       .Width = 1155,
       .Height = 375});
  add({.Name = "cmdCancel",
       .Kind = ControlKind::CommandButton,
       .Caption = N_("&Cancel"),
       .TabIndex = 7,
       .Left = 5205,
       .Top = 2760,
       .Width = 1155,
       .Height = 375});
  add({.Name = "CommonDialog1", .Kind = ControlKind::CommonDialog, .Visible = false});
}

// Loading sets up the language when the host handed in none. No label:
// errors before the translation reach whoever loaded the dialog.
void FrmImport::Form_Load() {
  if (!st.blnLanguageSet) InitLanguage(st);
  if (!st.objLanguage) Raise(vberr::ObjectNotSet, "Object variable or With block variable not set");
  st.objLanguage->Translate(*this);
  (*this)["cmdOK"].Enabled = false;
  (*this)["cmdPreview"].Enabled = false;
}

void FrmImport::Fire(const std::string& control, FormEvent event, int arg) {
  if (!Loaded<FrmImport>(st) || Loaded<FrmImport>(st) != this) return;
  if (control.empty() && event == FormEvent::KeyDown) return Form_KeyDown(arg);
  if (control.empty() && event == FormEvent::KeyPress) return Form_KeyPress(arg);
  if (event == FormEvent::Change && control == "txtFileName") return txtFileName_Change();
  if (event == FormEvent::Change && control == "txtDBName") return txtDBName_Change();
  if (event != FormEvent::Click) return;
  if (control == "cmdBrowseCHK") return cmdBrowseCHK_Click();
  if (control == "cmdBrowseMDB") return cmdBrowseMDB_Click();
  if (control == "cmdOK") return cmdOK_Click();
  if (control == "cmdPreview") return cmdPreview_Click();
  if (control == "cmdCancel") return Cmdcancel_Click();
}

void FrmImport::fileNameChanged(const char* label) {
  Routine r(st, label);
  r.run([&] {
    r.step([&] {
      (*this)["cmdOK"].Enabled = !Trim(Text("txtFileName")).empty() && !Trim(Text("txtDBName")).empty();
      (*this)["cmdPreview"].Enabled = (*this)["cmdOK"].Enabled;
    });
    r.step([&] { SetText("txtTableName", ""); });
  });
}

std::string FrmImport::notFound(const std::string& result) {
  std::string path;
  if (result == "MDB file not found.")
    path = Text("txtDBName");
  else if (result == "CHECK file not found.")
    path = Text("txtFileName");
  else
    return "";
  if (Trim(path).empty()) return st.T("No file was named.");
  std::error_code ec;
  const auto full = std::filesystem::absolute(path, ec);
  return st.T("Not found:") + " " + (ec ? path : full.string());
}

void FrmImport::txtFileName_Change() {
  fileNameChanged("txtFileName_Change, frmImport");
}

void FrmImport::txtDBName_Change() {
  fileNameChanged("txtDBName_Change, frmImport");
}

void FrmImport::browse(const char* label, const std::string& textBox, const std::string& filter) {
  Routine r(st, label);
  r.run([&] {
    Control& dialog = (*this)["CommonDialog1"];
    r.step([&] { dialog.Text = Text(textBox); });
    // A cancelled dialog keeps the name it was given.
    r.step([&] {
      if (auto chosen = st.windowing().ShowOpen(dialog.Text, filter)) dialog.Text = *chosen;
    });
    r.step([&] { SetText(textBox, dialog.Text); });
  });
}

void FrmImport::cmdBrowseCHK_Click() {
  browse("cmdBrowseCHK_Click, frmImport", "txtFileName", "Check Files (*.chk)|*.chk|All Files (*.*)|*.*");
}

void FrmImport::cmdBrowseMDB_Click() {
  browse("cmdBrowseMDB_Click, frmImport", "txtDBName", "Database Files (*.mdb)|*.mdb|All Files (*.*)|*.*");
}

void FrmImport::Cmdcancel_Click() {
  Routine r(st, "Cmdcancel_Click, frmImport");
  r.NeverPop();
  r.run([&] {
    r.step([&] { st.windowing().Hide(*this); });
    r.step([&] { CloseDown(st); });
  });
}

void FrmImport::Form_KeyDown(int KeyCode) {
  PassKeyToCheckESC(*this, "Form_KeyDown, frmImport", KeyCode);
}

void FrmImport::Form_KeyPress(int KeyAscii) {
  PassKeyToCheckESC(*this, "Form_KeyPress, frmImport", KeyAscii);
}

void FrmImport::CheckESC(int KeyCode) {
  Routine r(st, "CheckESC, frmImport");
  r.run([&] {
    if (KeyCode == vbKeyEscape) r.step([&] { Cmdcancel_Click(); });
  });
}

void FrmImport::cmdOK_Click() {
  Routine r(st, "cmdOK_Click, frmImport");
  r.run([&] {
    st.strResult = "";
    r.step([&] {
      std::string strCHKName = Text("txtFileName"), strDBName = Text("txtDBName");
      std::string strTableName = Text("txtTableName");
      bool blnShowGUI = true;
      st.strResult = GetViewTables(st, strCHKName, strDBName, strTableName, blnShowGUI);
    });

    if (st.strResult.empty()) {
      r.step([&] { Discard<FrmNoMatch>(st); });
      r.step([&] {
        // The texts are read again: the view chooser may have set the table.
        std::string strCHKName = Text("txtFileName"), strDBName = Text("txtDBName");
        std::string strTableName = Text("txtTableName");
        bool blnOverwrite = Ticked("chkOverwrite"), blnIgnoreNew = Ticked("chkIgnoreNew");
        bool blnGenerateTables = Ticked("chkGenerateTables");
        st.strResult = TranslateCode(st, strCHKName, strDBName, strTableName, blnOverwrite, blnIgnoreNew,
                                     blnGenerateTables);
      });
      if (st.strResult.empty() && !Ticked("chkIgnoreNew")) {
        r.step([&] {
          Control& list = Instance<FrmNoMatch>(st).listNoMatch();
          if (list.ListCount() == 0) list.AddItem(st.T("All Vantrel6 fields were found."));
        });
        r.step([&] { st.windowing().ShowModal(Instance<FrmNoMatch>(st)); });
      }
    }

    if (st.strResult == "CANCEL") return;
    if (!st.strResult.empty()) {
      r.step([&] {
        st.windowing().MsgBox(st.T(st.strResult), MsgBoxButtons::OKOnly, "", notFound(st.strResult));
      });
      return;
    }
    MsgBoxResult answer = MsgBoxResult::No;
    r.step([&] {
      answer = st.windowing().MsgBox(st.T("The CHECK Code import has completed.") + "\r\n" +
                                         st.T("Print imported CHECK code to text file?"),
                                     MsgBoxButtons::YesNo, st.T("Print Check Code?"), "");
    });
    if (answer == MsgBoxResult::Yes)
      r.step([&] { PrintCheckCode(Text("txtFileName"), Text("txtDBName"), Text("txtTableName")); });
  });
}

// Shows what OK would change with the dialog's choices as they stand, and
// writes nothing. The view chooser asks for a table only when none is
// named; a named table is checked as the silent import checks it.
void FrmImport::cmdPreview_Click() {
  Routine r(st, "cmdPreview_Click, frmImport");
  r.run([&] {
    st.strResult = "";
    r.step([&] {
      std::string strCHKName = Text("txtFileName"), strDBName = Text("txtDBName");
      std::string strTableName = Text("txtTableName");
      bool blnShowGUI = strTableName.empty();
      st.strResult = GetViewTables(st, strCHKName, strDBName, strTableName, blnShowGUI);
    });

    ImportPreview preview;
    if (st.strResult.empty()) {
      r.step([&] {
        // The texts are read again: the view chooser may have set the table.
        preview =
            PreviewTranslation(st, Text("txtFileName"), Text("txtDBName"), Text("txtTableName"),
                               Ticked("chkOverwrite"), Ticked("chkIgnoreNew"), Ticked("chkGenerateTables"));
        st.strResult = preview.result;
      });
    }

    if (st.strResult == "CANCEL") return;
    if (!st.strResult.empty()) {
      r.step([&] {
        st.windowing().MsgBox(st.T(st.strResult), MsgBoxButtons::OKOnly, "", notFound(st.strResult));
      });
      return;
    }
    r.step([&] {
      const std::string title = st.T("Preview of the CHECK Code import");
      st.windowing().ShowText(title, PreviewText(preview, false, *st.objLanguage));
    });
  });
}

}  // namespace chkimport
