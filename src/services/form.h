// A dialog as data: its caption, size and controls. Handlers live in the
// form's own class; windowing layers render and drive a form from this data.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace chkimport {

struct ImportState;

enum class ControlKind { Label, TextBox, CheckBox, CommandButton, ListBox, CommonDialog, ErrorStack };

// What a user does to a form or one of its controls.
enum class FormEvent { Click, DblClick, Change, KeyDown, KeyPress };

inline constexpr int vbKeyEscape = 27;

struct Control {
  std::string Name;
  ControlKind Kind = ControlKind::Label;
  std::string Caption;
  std::string ToolTipText;
  int TabIndex = -1;
  // Command buttons: Enter presses the form's default button wherever the
  // focus is, unless another button has it.
  bool Default = false;
  bool Enabled = true;
  bool Visible = true;
  std::string Text;  // text boxes
  int Value = 0;     // check boxes: 0 cleared, 1 ticked
  // List boxes: the entries, whether the list keeps them sorted, the selection.
  std::vector<std::string> List;
  bool Sorted = false;
  int ListIndex = -1;
  // Geometry in twips.
  int Left = 0, Top = 0, Width = 0, Height = 0;

  int ListCount() const { return static_cast<int>(List.size()); }
  // Adds an entry; a sorted list places it by case-insensitive order, after
  // entries that compare equal.
  void AddItem(const std::string& item);
  void Clear();
};

class Form {
 public:
  Form(ImportState& state, std::string name) : st(state), Name(std::move(name)) {}
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  ImportState& st;
  std::string Name;
  std::string Caption;
  int ClientWidth = 0, ClientHeight = 0;  // twips
  std::vector<Control> Controls;
  // The form sees key strokes before its controls do.
  bool KeyPreview = false;
  // The window frame offers a close button.
  bool ControlBox = true;

  // Runs when the form is loaded, that is created on first use.
  virtual void Form_Load() {}

  // A windowing layer reports what the user did to a control ("" for the
  // form itself); the form runs its handler, if it has one.
  virtual void Fire(const std::string& control, FormEvent event, int arg = 0) {
    (void)control;
    (void)event;
    (void)arg;
  }
  // The user closed the window by its frame: the form is unloaded (by
  // Unloader), and no handler runs.
  virtual void FrameClosed();
  // How the form is unloaded; set by whoever loads it.
  std::function<void(Form&)> Unloader;

  // Property changes that raise events as the user's would: a text box's
  // Change when its text changes, a list box's Click when its selection is
  // set, a check box's Click when its value changes.
  void SetText(const std::string& control, const std::string& text);
  void SetListIndex(const std::string& control, int index);
  void SetValue(const std::string& control, int value);

  // The control of that name; raises an error when the form has none.
  Control& operator[](const std::string& name);
  const Control& operator[](const std::string& name) const;

 protected:
  Control& add(Control control);
};

}  // namespace chkimport
