// The view table of a form, made from its .REC header.
#pragma once

#include <string>

#include "chkimport/forms.h"
#include "viewdb/rec_header.h"

namespace chkimport {

// Reads the .REC header and checks the view's name against the database
// (which need not exist). False with the reason in result.result.
bool PrepareView(const std::string& recFile, const std::string& dbFile, const FormOptions& options,
                 Translator& tr, RecHeader& header, FormResult& result);

// Creates the view table and its rows in a database file, in one transaction.
// Raises DatabaseCopyError with SQLite's reason.
void WriteViewTable(const std::string& dbFile, const std::string& table, const RecHeader& header);

}  // namespace chkimport
