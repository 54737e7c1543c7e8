// The module's exceptions: what a call could not do is raised, as Python
// users expect, never returned as text.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "chkimport/forms.h"
#include "chkimport/translator.h"

namespace chkimport::python {

// Defines chkimport.VbError, chkimport.ImportError and its subclasses on
// the module, and turns a C++ VbError into chkimport.VbError.
void DefineErrors(pybind11::module_& m);

// Raises the exception for a result text of the component ("" raises
// nothing): FileNotFoundError with the path for a missing database or CHK
// file, chkimport.TableNotFoundError (a LookupError) for a missing view
// table, another chkimport.ImportError for the other messages, each with
// the message in the user's language and the component's own text in
// `result`. Errors the routines met and were left after (`errors`) raise
// chkimport.ImportInterruptedError even when the result is "".
void RaiseForResult(Translator& tr, const std::string& result, const std::vector<ImportError>& errors,
                    const std::string& chk, const std::string& db, const std::string& table);

// The same for a form that new_view or convert_form could not make:
// FileNotFoundError, chkimport.ViewExistsError, chkimport.ImportInterruptedError
// or chkimport.FormError, each carrying the FormResult in `form_result`.
void RaiseForForm(Translator& tr, const FormResult& r, const std::string& rec);

}  // namespace chkimport::python
