// The conversion of a form inside a workspace the caller keeps.
#pragma once

#include <string>

#include "chkimport/forms.h"

namespace chkimport {

namespace dao {
class Workspace;
}  // namespace dao

// ConvertForm, in the workspace `shared` when one is given. Forms converted
// one after another into one database through one workspace share its
// connection while the caller keeps a database of it open: SQLite then reads
// the database's schema once, not once a form, which in a database of many
// large tables is most of a form's time.
FormResult ConvertFormIn(dao::Workspace* shared, const std::string& recFile, const std::string& dbFile,
                         const FormOptions& options);

}  // namespace chkimport
