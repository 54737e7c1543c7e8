// The view table of a form, made from its .REC header inside one
// transaction of the view database.
#pragma once

#include <functional>
#include <string>

#include "chkimport/forms.h"
#include "viewdb/rec_header.h"

namespace chkimport {

namespace dao {
class Database;
class Workspace;
}  // namespace dao

// Reads the .REC header and checks the view's name. False with the reason
// in result.result.
bool PrepareView(const std::string& recFile, const FormOptions& options, Translator& tr, RecHeader& header,
                 FormResult& result);

// Opens the view database (creating it when missing) in a workspace of its
// own, or in `shared` when given, takes its write lock, creates the view
// table result.table with a row per field of the header, and runs `work` in
// the same transaction and workspace, on the same database. The transaction
// is committed when `work` returns "", and rolled back otherwise or when
// anything fails; a database file made here is then removed again. False
// with the reason in result.result.
bool MakeView(const std::string& dbFile, const FormOptions& options, Translator& tr, const RecHeader& header,
              FormResult& result, const std::function<std::string(dao::Workspace&, dao::Database&)>& work,
              dao::Workspace* shared = nullptr);

}  // namespace chkimport
