// chkimport for Python: the component class, the form conversions and the
// component's errors as exceptions, over libchkimport.so. help(chkimport)
// shows the module's manual (kModuleManual below), chkimport.pyi the types.
//
// The module links the shared library rather than the static archives: one
// copy of the component on disk, the same code as every other host of the
// library, and a module that runs the library installed with it (its RPATH
// leads there from the site folder).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chkimport/catalog_translator.h"
#include "chkimport/cls_chk_import.h"
#include "chkimport/forms.h"
#include "chkimport/preview.h"
#include "chkimport/vb_error.h"
#include "errors.h"
#include "manual.h"

#ifndef CHKIMPORT_LANGUAGES_FROM_PYTHONDIR
#define CHKIMPORT_LANGUAGES_FROM_PYTHONDIR "../../../share/chkimport/languages"
#endif

namespace py = pybind11;
namespace fs = std::filesystem;

namespace chkimport {
namespace {

// The catalogs installed with the module, wherever the installation was put;
// in the build tree, those beside the module's python/ folder.
fs::path installedLanguages() {
  static const char anchor = 0;
  const fs::path here = CatalogTranslator::FolderOf(&anchor);
  fs::path dir = CatalogTranslator::DefaultLanguagesDir(here, CHKIMPORT_LANGUAGES_FROM_PYTHONDIR);
  std::error_code ec;
  if (!fs::is_directory(dir, ec) && fs::is_directory(here.parent_path() / "languages", ec))
    dir = here.parent_path() / "languages";
  return dir;
}

// "TypeName(name=repr, ...)" of the object's attributes.
std::string reprOf(py::handle self, const char* type, std::initializer_list<const char*> names) {
  std::string text = std::string(type) + "(";
  bool first = true;
  for (const char* name : names) {
    text += (first ? "" : ", ") + std::string(name) + "=" + py::repr(self.attr(name)).cast<std::string>();
    first = false;
  }
  return text + ")";
}

// A component with a module state and a translator of its own. Each call
// runs without the interpreter lock, so other Python threads go on; calls
// on one object take turns.
class Import {
 public:
  Import(const std::optional<std::string>& language, const std::optional<fs::path>& languagesDir) {
    setLanguage(language, languagesDir);
  }

  // Runs `call` on the component, the lock released and the object held.
  template <class Call>
  auto run(Call&& call) {
    py::gil_scoped_release unlocked;
    std::lock_guard<std::mutex> held(busy_);
    return call(component_);
  }

  // Without a language, the user's setting; without a folder, the catalogs
  // installed with the module. A catalog that cannot be read raises VbError
  // and leaves the language in use. The language holds for every later call
  // of the object: the component reads it from the object's settings at
  // every import.
  void setLanguage(const std::optional<std::string>& language, const std::optional<fs::path>& languagesDir) {
    run([&](clsCHKImport& component) {
      auto translator =
          std::make_unique<CatalogTranslator>(languagesDir ? *languagesDir : installedLanguages());
      translator->setLANGUAGE(language ? *language : component.Language());
      if (language) component.SetLanguage(*language);
      component.SetObjLanguage(*translator);
      translator_ = std::move(translator);
    });
  }

  Translator& translator() { return *translator_; }

  // A silent import; raises what it could not do, returns the unmatched lines.
  std::vector<std::string> import(const fs::path& chk, const fs::path& db, const std::string& table,
                                  bool overwrite, bool ignoreNew, bool generateTables) {
    std::vector<ImportError> errors;
    auto [result, unmatched] = run([&](clsCHKImport& c) {
      std::string text =
          c.GetCHKCode(chk.string(), db.string(), table, false, overwrite, ignoreNew, generateTables);
      errors = c.Errors();
      return std::make_pair(text, c.UnmatchedFields());
    });
    python::RaiseForResult(translator(), result, errors, chk.string(), db.string(), table);
    return unmatched;
  }

  FormResult form(bool convert, const fs::path& rec, const fs::path& db, FormOptions options) {
    FormResult r = run([&](clsCHKImport& component) {
      options.translator = translator_.get();
      options.includeWithin = component.IncludeWithin();
      options.language = component.Language();
      return convert ? ConvertForm(rec.string(), db.string(), options)
                     : NewView(rec.string(), db.string(), options);
    });
    python::RaiseForForm(translator(), r, rec.string());
    return r;
  }

 private:
  clsCHKImport component_{ModuleState::Own};
  std::unique_ptr<CatalogTranslator> translator_;
  std::mutex busy_;
};

void bindFormResult(py::module_& m) {
  py::class_<Advice>(m, "Advice", "A comment of advice the import wrote: what is left to do by hand.")
      .def_readonly("field", &Advice::field, "the CHK field, or RECORD or VIEW")
      .def_readonly(
          "kind", &Advice::kind,
          "code-table, range, key, relate, help, include, jumps, no-counterpart, property or variables")
      .def_readonly("text", &Advice::text, "the comment as stored, its lines joined by CRLF")
      .def("__repr__", [](py::handle self) {
        return reprOf(self, "Advice", {"field", "kind", "text"});
      });
  py::class_<FormResult>(m, "FormResult", "What new_view or convert_form made.")
      .def_readonly("result", &FormResult::result, "\"\" (a form that was not made raises instead)")
      .def_readonly("view_exists", &FormResult::viewExists, "the view's name was taken (see ViewExistsError)")
      .def_readonly("table", &FormResult::table, "the view table made")
      .def_readonly("fields", &FormResult::fields, "its rows")
      .def_readonly("file_label", &FormResult::fileLabel, "the .REC file's label, \"\" when it has none")
      .def_readonly("warnings", &FormResult::warnings,
                    "fields of a type code without a counterpart (made TEXT)")
      .def_readonly("chk", &FormResult::chk, "convert_form: the .CHK file imported")
      .def_readonly("errors", &FormResult::errors, "convert_form: errors that interrupted the import")
      .def_property_readonly(
          "code_lines", [](const FormResult& r) { return r.counts.lines; },
          "convert_form: lines of check code read")
      .def_readonly("unmatched", &FormResult::unmatched, "convert_form: CHK lines without a row in the view")
      .def_readonly("code_tables", &FormResult::codeTables, "convert_form: the code tables made")
      .def_readonly("advice", &FormResult::advice, "convert_form: the advice the import wrote (Advice)")
      .def_readonly("data_table", &FormResult::dataTable,
                    "convert_form: the data table (\"\" without records)")
      .def_readonly("data_table_exists", &FormResult::dataTableExists,
                    "the result says that a table of the data table's name exists")
      .def_readonly("records", &FormResult::records, "convert_form: the rows of the data table")
      .def_readonly("deleted_records", &FormResult::deletedRecords, "convert_form: records marked deleted")
      .def_readonly("unread_values", &FormResult::unreadValues,
                    "convert_form: values that did not read as their type, kept as written (see warnings)")
      .def_readonly("damaged_records", &FormResult::damagedRecords,
                    "convert_form with lenient: damaged records left out (see warnings)")
      .def("__repr__", [](py::handle self) {
        return reprOf(self, "FormResult",
                      {"result", "view_exists", "table", "fields", "file_label", "warnings", "chk", "errors",
                       "code_lines", "unmatched", "code_tables", "advice", "data_table", "records",
                       "deleted_records", "unread_values", "damaged_records"});
      });
}

py::class_<Import> bindImport(py::module_& m) {
  py::class_<Import> cls(m, "CHKImport",
                         "The import component, with a module state of its own and a translator for the "
                         "user's language (set_language changes it).");
  cls.def(py::init<const std::optional<std::string>&, const std::optional<fs::path>&>(),
          py::arg("language") = std::nullopt, py::arg("languages_dir") = std::nullopt,
          "A component in `language` (a catalog name such as \"Spanish\"; None: the user's setting) with the "
          "catalogs in `languages_dir` (None: those installed with the module).")
      .def("get_chk_code", &Import::import, py::arg("chk"), py::arg("db"), py::arg("table"),
           py::arg("overwrite") = false, py::arg("ignore_new") = false, py::arg("generate_tables") = false,
           "Runs one import pass and returns the CHK lines without a row in the view (the listing pass's "
           "list; [] after a writing pass). Without ignore_new the pass only lists them and writes nothing; "
           "with it the check code is translated and written into the view. Raises FileNotFoundError, "
           "TableNotFoundError or another ImportError when it cannot run or its work was not kept.")
      .def(
          "show_dialog",
          [](Import& self, const fs::path& chk, const fs::path& db, const std::string& table, bool overwrite,
             bool ignoreNew, bool generateTables) {
            self.run([&](clsCHKImport& c) {
              c.GetCHKCode(chk.string(), db.string(), table, true, overwrite, ignoreNew, generateTables);
            });
          },
          py::arg("chk") = fs::path(), py::arg("db") = fs::path(), py::arg("table") = "",
          py::arg("overwrite") = false, py::arg("ignore_new") = false, py::arg("generate_tables") = false,
          "Opens the import dialog filled with the names given (needs a display) and returns when it closes; "
          "the dialog tells the user how each import went.")
      .def(
          "GetCHKCode",
          [](Import& self, const fs::path& chk, const fs::path& db, const std::string& table, bool showGui,
             bool overwrite, bool ignoreNew, bool generateTables) {
            return self.run([&](clsCHKImport& c) {
              return c.GetCHKCode(chk.string(), db.string(), table, showGui, overwrite, ignoreNew,
                                  generateTables);
            });
          },
          py::arg("strCHKName"), py::arg("strDBName"), py::arg("strTableName"), py::arg("blnShowGUI"),
          py::arg("blnOverwrite") = false, py::arg("blnIgnoreNew") = false,
          py::arg("blnGenerateTables") = false,
          "The component's own call, arguments in its order: returns \"\" or the component's message, and "
          "raises nothing for a message.")
      .def(
          "unmatched_fields",
          [](Import& self) { return self.run([](clsCHKImport& c) { return c.UnmatchedFields(); }); },
          "The CHK lines that the last listing pass found without a row in the view table, in file order.")
      .def(
          "set_include_within",
          [](Import& self, const std::optional<fs::path>& folder) {
            self.run([&](clsCHKImport& c) { c.SetIncludeWithin(folder ? folder->string() : ""); });
          },
          py::arg("folder") = std::nullopt,
          "For CHK files from others: INCLUDE reads only files whose real path lies under `folder`; an "
          "INCLUDE of any other file is written as one of a file not found, with a warning. Holds for the "
          "imports, previews and conversions of this object; None lifts it. Raises VbError 76 for a folder "
          "that is not there.")
      .def("set_language", &Import::setLanguage, py::arg("language") = std::nullopt,
           py::arg("languages_dir") = std::nullopt,
           "Translates messages and comment lines into `language` (a catalog name such as \"Spanish\"; None: "
           "the user's setting) with the catalogs in `languages_dir` (None: the installed ones), for every "
           "later call of this object.")
      .def(
          "new_view",
          [](Import& self, const fs::path& rec, const fs::path& db, const std::optional<std::string>& view,
             const std::optional<std::string>& encoding) {
            FormOptions options;
            options.view = view.value_or("");
            options.encoding = encoding.value_or("");
            return self.form(false, rec, db, options);
          },
          py::arg("rec"), py::arg("db"), py::arg("view") = std::nullopt, py::arg("encoding") = std::nullopt,
          "Creates the view table of a Vantrel 6 data file's header (default name: view + the file's base "
          "name) in db, created when missing. Raises FileNotFoundError, ViewExistsError or FormError when "
          "nothing was made.")
      .def(
          "convert_form",
          [](Import& self, const fs::path& rec, const fs::path& db, const std::optional<fs::path>& chk,
             const std::optional<std::string>& view, bool overwrite, bool tables,
             const std::optional<std::string>& encoding, const std::optional<std::string>& dataTable,
             bool noData, bool skipDeleted, bool lenient) {
            FormOptions options;
            options.chk = chk ? chk->string() : "";
            options.view = view.value_or("");
            options.overwrite = overwrite;
            options.tables = tables;
            options.encoding = encoding.value_or("");
            options.dataTable = dataTable.value_or("");
            options.noData = noData;
            options.skipDeleted = skipDeleted;
            options.lenient = lenient;
            return self.form(true, rec, db, options);
          },
          py::arg("rec"), py::arg("db"), py::arg("chk") = std::nullopt, py::arg("view") = std::nullopt,
          py::arg("overwrite") = false, py::arg("tables") = false, py::arg("encoding") = std::nullopt,
          py::arg("data_table") = std::nullopt, py::arg("no_data") = false, py::arg("skip_deleted") = false,
          py::arg("lenient") = false,
          "new_view, then the writing pass of the import of the form's CHK file (default: the .CHK file of "
          "the same base name beside rec; without one, a warning), then the records of rec into the data "
          "table (default: the view's name without \"view\"; no_data leaves them out, skip_deleted the "
          "deleted ones; lenient keeps the records that read and names the damaged ones in warnings); all "
          "of it, or nothing. Raises as new_view does, and ImportInterruptedError when errors interrupted "
          "the "
          "import.");
  return cls;
}

// What an import would change, as plain Python data.
void bindPreview(py::module_& m, py::class_<Import>& importClass) {
  py::class_<RowChange>(m, "RowChange", "One column of one view row that an import would change.")
      .def_readonly("view", &RowChange::view, "the view table")
      .def_readonly("row", &RowChange::row, "the row's Name")
      .def_readonly("column", &RowChange::column, "\"Checkcode\" or \"Lists\"")
      .def_readonly("old_value", &RowChange::oldValue, "the value now (\"\" for Null)")
      .def_readonly("new_value", &RowChange::newValue, "the value the import would write")
      .def_readonly("added_row", &RowChange::addedRow, "the import would add the row")
      .def("__repr__", [](py::handle self) {
        return reprOf(self, "RowChange", {"view", "row", "column", "old_value", "new_value", "added_row"});
      });
  py::class_<ImportPreview>(m, "ImportPreview",
                            "What an import would do, found by running it and rolling it back.")
      .def_readonly("result", &ImportPreview::result, "\"\" (a preview that cannot run raises instead)")
      .def_readonly("unmatched", &ImportPreview::unmatched, "the listing pass's lines without a view row")
      .def_readonly("changes", &ImportPreview::changes, "the RowChange of each column that would change")
      .def_readonly("new_tables", &ImportPreview::newTables, "the code tables the import would create")
      .def("__repr__", [](py::handle self) {
        return reprOf(self, "ImportPreview", {"result", "unmatched", "changes", "new_tables"});
      });
  importClass.def(
      "preview_chk_code",
      [](Import& self, const fs::path& chk, const fs::path& db, const std::string& table, bool overwrite,
         bool ignoreNew, bool generateTables) {
        std::vector<ImportError> errors;
        ImportPreview preview = self.run([&](clsCHKImport& c) {
          ImportPreview p =
              c.PreviewCHKCode(chk.string(), db.string(), table, overwrite, ignoreNew, generateTables);
          errors = c.Errors();
          return p;
        });
        python::RaiseForResult(self.translator(), preview.result, errors, chk.string(), db.string(), table);
        return preview;
      },
      py::arg("chk"), py::arg("db"), py::arg("table"), py::arg("overwrite") = false,
      py::arg("ignore_new") = true, py::arg("generate_tables") = false,
      "Runs the import as get_chk_code would and rolls it back: the database stays as it was. Returns an "
      "ImportPreview with the changed Checkcode and Lists values and the code tables that would be made; "
      "raises as get_chk_code does.");
  m.def("unified_diff", &UnifiedDiff, py::arg("change"), py::arg("colour") = false,
        "A RowChange as a unified diff of its lines, with three lines of context; with colour, terminal "
        "colour codes.");
}

}  // namespace
}  // namespace chkimport

PYBIND11_MODULE(chkimport, m) {
  m.doc() = chkimport::kModuleManual;
  m.attr("__version__") = CHKIMPORT_VERSION;
  chkimport::python::DefineErrors(m);
  chkimport::bindFormResult(m);
  auto importClass = chkimport::bindImport(m);
  // Further calls of the component are defined on importClass, each through
  // Import::run.
  chkimport::bindPreview(m, importClass);
}
