#include "services/form.h"

#include <algorithm>
#include <cctype>

#include "chkimport/vb_error.h"

namespace chkimport {
namespace {

bool lessNoCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

void Control::AddItem(const std::string& item) {
  if (!Sorted) {
    List.push_back(item);
    return;
  }
  List.insert(std::upper_bound(List.begin(), List.end(), item, lessNoCase), item);
}

void Control::Clear() {
  List.clear();
  ListIndex = -1;
}

void Form::SetText(const std::string& control, const std::string& text) {
  Control& c = (*this)[control];
  if (c.Text == text) return;
  c.Text = text;
  Fire(control, FormEvent::Change);
}

void Form::SetListIndex(const std::string& control, int index) {
  Control& c = (*this)[control];
  if (index < -1 || index >= c.ListCount()) Raise(380, "Invalid property value");
  c.ListIndex = index;
  Fire(control, FormEvent::Click);
}

void Form::SetValue(const std::string& control, int value) {
  Control& c = (*this)[control];
  if (c.Value == value) return;
  c.Value = value;
  Fire(control, FormEvent::Click);
}

Form::~Form() = default;

void Form::FrameClosed() {
  if (Unloader) Unloader(*this);
}

Control& Form::operator[](const std::string& name) {
  for (auto& control : Controls)
    if (control.Name == name) return control;
  Raise(730, "Control '" + name + "' not found");
}

const Control& Form::operator[](const std::string& name) const {
  return const_cast<Form&>(*this)[name];
}

Control& Form::add(Control control) {
  Controls.push_back(std::move(control));
  return Controls.back();
}

}  // namespace chkimport
