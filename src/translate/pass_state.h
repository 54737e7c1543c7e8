// The state of one translation pass, owned by the driver and handed by
// reference to the command translator.
#pragma once

#include <cstdint>
#include <string>

namespace chkimport {

namespace dao {
class Database;
class Recordset;
}  // namespace dao

struct PassState {
  std::string strLine;      // the current line; branches overwrite it with what they store
  std::string strRest;      // text the driver translates next as a line of its own
  int16_t intLevel = 0;     // block nesting: 0 outside field blocks
  int16_t intSection = 2;   // column receiving lines: 0 BEFORE, 1 AFTER, 2 staged
  bool blnPending = false;  // buffered code not yet written into a row
  dao::Database* dbView = nullptr;
  dao::Recordset* rsView = nullptr;
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
};

}  // namespace chkimport
