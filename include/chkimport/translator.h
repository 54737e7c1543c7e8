// The language translator a host hands to the component. Every message,
// title and comment line the component shows or writes passes through T;
// every dialog passes through Translate when it loads.
#pragma once

#include <string>

#include "chkimport/export.h"

namespace chkimport {

// One of the component's dialogs; a translator sees it only through
// Translate.
class Form;

class CHKIMPORT_API Translator {
 public:
  virtual ~Translator() = default;

  // The text in the user's language; the English text when there is none.
  // While an import pass runs, it asks once for each text of its own and
  // uses the answer for the rest of the pass.
  virtual std::string T(const std::string& text) = 0;
  // Re-captions a dialog's caption and its controls' captions and tooltips:
  // by default, each through T.
  virtual void Translate(Form& dialog);

  // Settable properties.
  virtual void setTable(const std::string& table) = 0;
  virtual void setLANGUAGE(const std::string& language) = 0;
  virtual void setTest(bool test) = 0;
};

}  // namespace chkimport
