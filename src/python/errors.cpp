#include "errors.h"

#include <pybind11/eval.h>
#include <pybind11/stl.h>

#include <cerrno>

#include "chkimport/vb_error.h"

namespace py = pybind11;

namespace chkimport::python {
namespace {

// The classes, made once by the module and kept for its life.
py::object* errorClasses = nullptr;

py::object errorClass(const char* name) {
  return (*errorClasses)[name];
}

[[noreturn]] void raise(py::object error) {
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  throw py::error_already_set();
}

[[noreturn]] void raiseFileNotFound(const std::string& message, const std::string& path) {
  raise(py::module_::import("builtins").attr("FileNotFoundError")(ENOENT, message, path));
}

std::string startOf(const std::string& text, std::size_t n) {
  return text.substr(0, n);
}

std::string interrupted(Translator& tr, std::size_t errors) {
  std::string text =
      tr.T(errors == 1 ? "{n} error interrupted the import" : "{n} errors interrupted the import");
  const auto at = text.find("{n}");
  if (at != std::string::npos) text.replace(at, 3, std::to_string(errors));
  return text;
}

py::list errorList(const std::vector<ImportError>& errors) {
  py::list list;
  for (const auto& e : errors) list.append(errorClass("VbError")(e.number, e.description, e.routines));
  return list;
}

}  // namespace

void DefineErrors(py::module_& m) {
  py::dict scope;
  scope["__builtins__"] = py::module_::import("builtins");
  scope["__name__"] = "chkimport";
  py::exec(R"(
class VbError(Exception):
    """An error the component met that its result cannot tell: the runtime's
    error number and description, as the error-stack control receives them,
    and the routines that were running, the one that failed first."""

    def __init__(self, number, description, routines=()):
        super().__init__(number, description)
        self.number = number
        self.description = description
        self.routines = list(routines)

    def __str__(self):
        return f"error {self.number}: {self.description}"


class ImportError(Exception):
    """An import, preview or conversion that could not run, or whose work
    was not kept. str() is the message in the object's language; `result`
    is the component's own text, as GetCHKCode returns it."""

    def __init__(self, message, result=None):
        super().__init__(message)
        self.result = message if result is None else result


class TableNotFoundError(ImportError, LookupError):
    """The view table named is not one of the database (names are compared
    exactly: viewpatient is not viewPatient); `table` is the name given."""

    def __init__(self, message, result=None, table=""):
        super().__init__(message, result)
        self.table = table


class NoTableNameError(ImportError, ValueError):
    """No view table was named."""


class CannotOpenDatabaseError(ImportError):
    """The database file is there but cannot be opened as a view database."""


class NoViewTablesError(ImportError, LookupError):
    """The database has no view table (a table whose name begins with "view")."""


class NoMatchingFieldsError(ImportError, LookupError):
    """No field of the CHK file has a row in the view table."""


class NotSavedError(ImportError):
    """The import ran but nothing of it could be kept: the database was in
    use by another program, could not be written, or its commit failed."""


class NotACheckFileError(ImportError, ValueError):
    """The file named as the CHK file is a database, binary, or a data file's header."""


class ImportInterruptedError(ImportError):
    """Errors interrupted the import: the routine that met each was left and
    the pass went on. `errors` are VbError objects, in the order met."""

    def __init__(self, message, result=None, errors=()):
        super().__init__(message, result)
        self.errors = list(errors)


class FormError(ImportError):
    """new_view or convert_form made nothing; the database is as it was.
    `form_result` is the FormResult that says why."""

    def __init__(self, message, result=None, form_result=None):
        super().__init__(message, result)
        self.form_result = form_result


class ViewExistsError(FormError):
    """A table of the view's name is in the database already: name another."""
)",
           scope);
  errorClasses = new py::object(scope);
  for (const char* name :
       {"VbError", "ImportError", "TableNotFoundError", "NoTableNameError", "CannotOpenDatabaseError",
        "NoViewTablesError", "NoMatchingFieldsError", "NotSavedError", "NotACheckFileError",
        "ImportInterruptedError", "FormError", "ViewExistsError"})
    m.attr(name) = scope[name];
  py::register_local_exception_translator([](std::exception_ptr raised) {
    try {
      if (raised) std::rethrow_exception(raised);
    } catch (const VbError& e) {
      py::object error = errorClass("VbError")(e.Number, e.Description);
      PyErr_SetObject(error.get_type().ptr(), error.ptr());
    }
  });
}

void RaiseForResult(Translator& tr, const std::string& result, const std::vector<ImportError>& errors,
                    const std::string& chk, const std::string& db, const std::string& table) {
  if (result.empty()) {
    if (errors.empty()) return;
    raise(
        errorClass("ImportInterruptedError")(interrupted(tr, errors.size()), py::none(), errorList(errors)));
  }
  const std::string message = tr.T(result);
  if (result == "MDB file not found.") raiseFileNotFound(message, db);
  if (result == "CHECK file not found.") raiseFileNotFound(message, chk);
  if (result == "Table Not In MDB")
    raise(errorClass("TableNotFoundError")(message + ": " + table, result, table));
  struct Known {
    const char* text;
    const char* error;
  };
  static const Known known[] = {{"No Table Name Supplied", "NoTableNameError"},
                                {"Cannot open database.", "CannotOpenDatabaseError"},
                                {"No tables available.", "NoViewTablesError"},
                                {"No matching fields were found.", "NoMatchingFieldsError"},
                                {"The import was not saved:", "NotSavedError"},
                                {"The preview failed:", "NotSavedError"}};
  for (const Known& k : known) {
    // The component translates some of its messages itself.
    const std::string own = k.text, translated = tr.T(k.text);
    if (startOf(result, own.size()) == own || startOf(result, translated.size()) == translated)
      raise(errorClass(k.error)(message, result));
  }
  if (result.find(" is not a check file: ") != std::string::npos)
    raise(errorClass("NotACheckFileError")(message, result));
  raise(errorClass("ImportError")(message, result));
}

void RaiseForForm(Translator& tr, const FormResult& r, const std::string& rec) {
  if (r.result.empty()) return;
  const py::object formResult = py::cast(r);
  if (r.viewExists) raise(errorClass("ViewExistsError")(r.result, r.result, formResult));
  if (r.result == rec + ": " + tr.T("REC file not found.")) raiseFileNotFound(r.result, rec);
  const std::string chkNotFound = tr.T("CHECK file not found.");
  if (startOf(r.result, chkNotFound.size()) == chkNotFound)
    raiseFileNotFound(r.result, r.chk.empty() ? rec : r.chk);
  if (r.errors > 0) {
    py::object error = errorClass("ImportInterruptedError")(r.result, r.result, errorList(r.errorList));
    error.attr("form_result") = formResult;
    raise(error);
  }
  raise(errorClass("FormError")(r.result, r.result, formResult));
}

}  // namespace chkimport::python
