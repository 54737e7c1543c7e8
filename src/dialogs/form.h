// A dialog as data: its caption, size and controls. Handlers live in the
// form's own class; windowing layers render and drive a form from this data.
#pragma once

#include <string>
#include <vector>

namespace chkimport {

struct ImportState;

enum class ControlKind { Label, TextBox, CheckBox, CommandButton, ListBox, CommonDialog, ErrorStack };

struct Control {
  std::string Name;
  ControlKind Kind = ControlKind::Label;
  std::string Caption;
  std::string ToolTipText;
  int TabIndex = -1;
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
  explicit Form(std::string name) : Name(std::move(name)) {}
  virtual ~Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  std::string Name;
  std::string Caption;
  int ClientWidth = 0, ClientHeight = 0;  // twips
  std::vector<Control> Controls;

  // Runs when the form is loaded, that is created on first use.
  virtual void Form_Load(ImportState& st) { (void)st; }

  // The control of that name; raises an error when the form has none.
  Control& operator[](const std::string& name);
  const Control& operator[](const std::string& name) const;

 protected:
  Control& add(Control control);
};

}  // namespace chkimport
