// The state of one translation pass, owned by the driver and handed by
// reference to the command translator.
#pragma once

#include <cstdint>
#include <string>

#include "chkimport/vb_error.h"
#include "translate/include_paths.h"

namespace chkimport {

namespace dao {
class Database;
class Recordset;
}  // namespace dao

// A database object of the pass. Opening it may have failed and the user
// gone on all the same: using it then is "Object variable not set".
template <class T>
class PassObject {
 public:
  PassObject& operator=(T* object) {
    object_ = object;
    return *this;
  }
  explicit operator bool() const { return object_ != nullptr; }
  T& operator*() const {
    if (!object_) Raise(vberr::ObjectNotSet, "Object variable or With block variable not set");
    return *object_;
  }
  T* operator->() const { return &**this; }

 private:
  T* object_ = nullptr;
};

struct PassState {
  std::string strLine;      // the current line; branches overwrite it with what they store
  std::string strRest;      // text the driver translates next as a line of its own
  int16_t intLevel = 0;     // block nesting: 0 outside field blocks
  int16_t intSection = 2;   // column receiving lines: 0 BEFORE, 1 AFTER, 2 staged
  bool blnPending = false;  // buffered code not yet written into a row
  PassObject<dao::Database> dbView;
  PassObject<dao::Recordset> rsView;
  std::string strTableName;
  bool blnVariablesRow = false;  // DEFINE has prepared the DEFINEDVARIABLES row
  // The DEFINEDVARIABLES row's declarations as DEFINE left them, not yet
  // written: its row is written once, not once per DEFINE (see variables.cpp).
  struct Declarations {
    bool pending = false;
    std::string bookmark;
    std::string text;
  } declarations;
  bool blnOverwrite = false;
  bool blnIgnoreNew = false;  // true on the writing pass
  bool blnGenerateTables = false;
  FolderListings folderListings;  // where INCLUDE looked for its files
};

}  // namespace chkimport
