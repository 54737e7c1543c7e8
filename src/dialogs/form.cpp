#include "dialogs/form.h"

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
