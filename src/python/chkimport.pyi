"""Vantrel 6 check code into Vantrel 2000 view databases (see help(chkimport))."""

import os
from typing import List, Optional, Sequence, Union

_Path = Union[str, "os.PathLike[str]"]

__version__: str


class VbError(Exception):
    """An error the component met that its result cannot tell: the runtime's
    error number and description, and the routines that were running, the
    one that failed first."""

    number: int
    description: str
    routines: List[str]

    def __init__(self, number: int, description: str, routines: Sequence[str] = ()) -> None:
        """The error as the error-stack control receives it."""


class ImportError(Exception):
    """An import, preview or conversion that could not run, or whose work
    was not kept. str() is the message in the object's language."""

    result: str
    """The component's own text, as GetCHKCode returns it."""

    def __init__(self, message: str, result: Optional[str] = None) -> None:
        """The message, and the component's text (the message when None)."""


class TableNotFoundError(ImportError, LookupError):
    """The view table named is not one of the database (names compared exactly)."""

    table: str
    """The name given."""

    def __init__(self, message: str, result: Optional[str] = None, table: str = "") -> None:
        """The message, the component's text and the name given."""


class NoTableNameError(ImportError, ValueError):
    """No view table was named."""


class CannotOpenDatabaseError(ImportError):
    """The database file is there but cannot be opened as a view database."""


class NoViewTablesError(ImportError, LookupError):
    """The database has no view table."""


class NoMatchingFieldsError(ImportError, LookupError):
    """No field of the CHK file has a row in the view table."""


class NotSavedError(ImportError):
    """The import ran but nothing of it could be kept."""


class NotACheckFileError(ImportError, ValueError):
    """The file named as the CHK file is a database, binary, or a data file's header."""


class ImportInterruptedError(ImportError):
    """Errors interrupted the import; the routine that met each was left."""

    errors: List[VbError]
    """Each error, in the order met."""

    def __init__(self, message: str, result: Optional[str] = None, errors: Sequence[VbError] = ()) -> None:
        """The message, the component's text and the errors."""


class FormError(ImportError):
    """new_view or convert_form made nothing; the database is as it was."""

    form_result: Optional["FormResult"]
    """What the call found."""

    def __init__(self, message: str, result: Optional[str] = None,
                 form_result: Optional["FormResult"] = None) -> None:
        """The message, the component's text and the FormResult."""


class ViewExistsError(FormError):
    """A table of the view's name is in the database already."""


class FormResult:
    """What new_view or convert_form made."""

    @property
    def result(self) -> str:
        """"" (a form that was not made raises instead)."""
    @property
    def view_exists(self) -> bool:
        """The view's name was taken (see ViewExistsError)."""
    @property
    def table(self) -> str:
        """The view table made."""
    @property
    def fields(self) -> int:
        """Its rows."""
    @property
    def file_label(self) -> str:
        """The .REC file's label, "" when it has none."""
    @property
    def warnings(self) -> List[str]:
        """Fields of a type code without a counterpart (made TEXT)."""
    @property
    def chk(self) -> str:
        """convert_form: the .CHK file imported."""
    @property
    def errors(self) -> int:
        """convert_form: errors that interrupted the import."""
    @property
    def code_lines(self) -> int:
        """convert_form: lines of check code read."""
    @property
    def unmatched(self) -> List[str]:
        """convert_form: CHK lines without a row in the view."""
    @property
    def code_tables(self) -> List[str]:
        """convert_form: the code tables made."""
    @property
    def advice(self) -> List["Advice"]:
        """convert_form: the advice the import wrote."""
    @property
    def data_table(self) -> str:
        """convert_form: the data table ("" without records)."""
    @property
    def data_table_exists(self) -> bool:
        """A table of the data table's name exists."""
    @property
    def records(self) -> int:
        """convert_form: the rows of the data table."""
    @property
    def deleted_records(self) -> int:
        """convert_form: records marked deleted."""
    @property
    def unread_values(self) -> int:
        """convert_form: values that did not read as their type, kept as written (see warnings)."""
    @property
    def damaged_records(self) -> int:
        """convert_form with lenient: damaged records left out (see warnings)."""


class Advice:
    """A comment of advice the import wrote: what is left to do by hand."""

    @property
    def field(self) -> str:
        """The CHK field, or RECORD or VIEW."""
    @property
    def kind(self) -> str:
        """code-table, range, key, relate, help, include, jumps, no-counterpart, property or variables."""
    @property
    def text(self) -> str:
        """The comment as stored, its lines joined by CRLF."""


class RowChange:
    """One column of one view row that an import would change."""

    @property
    def view(self) -> str:
        """The view table."""
    @property
    def row(self) -> str:
        """The row's Name."""
    @property
    def column(self) -> str:
        """"Checkcode" or "Lists"."""
    @property
    def old_value(self) -> str:
        """The value now ("" for Null)."""
    @property
    def new_value(self) -> str:
        """The value the import would write."""
    @property
    def added_row(self) -> bool:
        """The import would add the row."""


class ImportPreview:
    """What an import would do, found by running it and rolling it back."""

    @property
    def result(self) -> str:
        """"" (a preview that cannot run raises instead)."""
    @property
    def unmatched(self) -> List[str]:
        """The listing pass's lines without a view row."""
    @property
    def changes(self) -> List[RowChange]:
        """The RowChange of each column that would change."""
    @property
    def new_tables(self) -> List[str]:
        """The code tables the import would create."""


class CHKImport:
    """The import component, with a module state of its own and a translator
    for the user's language (set_language changes it)."""

    def __init__(self, language: Optional[str] = None, languages_dir: Optional[_Path] = None) -> None:
        """A component in `language` (None: the user's setting), with the
        catalogs in `languages_dir` (None: those installed with the module)."""

    def get_chk_code(self, chk: _Path, db: _Path, table: str, overwrite: bool = False,
                     ignore_new: bool = False, generate_tables: bool = False) -> List[str]:
        """Runs one import pass and returns the CHK lines without a row in
        the view ([] after a writing pass); raises FileNotFoundError,
        TableNotFoundError or another ImportError when it cannot run or its
        work was not kept."""

    def show_dialog(self, chk: _Path = ..., db: _Path = ..., table: str = "", overwrite: bool = False,
                    ignore_new: bool = False, generate_tables: bool = False) -> None:
        """Opens the import dialog filled with the names given and returns
        when it closes (needs a display)."""

    def GetCHKCode(self, strCHKName: _Path, strDBName: _Path, strTableName: str, blnShowGUI: bool,
                   blnOverwrite: bool = False, blnIgnoreNew: bool = False,
                   blnGenerateTables: bool = False) -> str:
        """The component's own call: returns "" or its message, raises nothing for a message."""

    def unmatched_fields(self) -> List[str]:
        """The CHK lines the last listing pass found without a row in the view."""

    def set_include_within(self, folder: Optional[_Path] = None) -> None:
        """INCLUDE reads only files under `folder` for the later calls; None lifts it."""

    def set_language(self, language: Optional[str] = None, languages_dir: Optional[_Path] = None) -> None:
        """Messages and comment lines in `language` for every later call of this object."""

    def new_view(self, rec: _Path, db: _Path, view: Optional[str] = None,
                 encoding: Optional[str] = None) -> FormResult:
        """Creates the view table of a Vantrel 6 data file's header in db."""

    def convert_form(self, rec: _Path, db: _Path, chk: Optional[_Path] = None, view: Optional[str] = None,
                     overwrite: bool = False, tables: bool = False, encoding: Optional[str] = None,
                     data_table: Optional[str] = None, no_data: bool = False, skip_deleted: bool = False,
                     lenient: bool = False) -> FormResult:
        """new_view, the import of the form's CHK file, then its records into the data table: all of it,
        or nothing."""

    def preview_chk_code(self, chk: _Path, db: _Path, table: str, overwrite: bool = False,
                         ignore_new: bool = True, generate_tables: bool = False) -> ImportPreview:
        """What get_chk_code would change, the database left as it was."""


def unified_diff(change: RowChange, colour: bool = False) -> str:
    """A RowChange as a unified diff of its lines, with three lines of context."""
