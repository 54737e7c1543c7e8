// What help(chkimport) shows: the module's manual, with an example that
// the tests run as it stands (doctest).
#pragma once

namespace chkimport {

inline constexpr const char* kModuleManual = R"manual(Vantrel 6 check code into Vantrel 2000 view databases.

chkimport reads the check code of a Vantrel 6 form (a .CHK file), translates
every command into the language of Vantrel 2000 (or into comment lines that
say what to do instead) and stores it in the form's view table: a table
whose name begins with "view", one row per field, in a view database (a
SQLite file). new_view and convert_form make that table from the form's
data file (.REC) first.

EXAMPLE

    >>> import sqlite3, chkimport
    >>> db = sqlite3.connect("form.db")
    >>> _ = db.execute("CREATE TABLE viewForm (Name TEXT, PageNumber INTEGER, "
    ...                "Checkcode TEXT, Type TEXT, Formatstring TEXT, Lists TEXT)")
    >>> _ = db.execute("INSERT INTO viewForm (Name, PageNumber, Type) VALUES ('AGE', 1, 'NUMBER')")
    >>> db.commit()
    >>> with open("form.chk", "w") as chk:
    ...     _ = chk.write("AGE\n  MUSTENTER\n  RANGE 0 120\nEND\nWEIGHT\nEND\n")
    >>> imp = chkimport.CHKImport(language="English")
    >>> imp.get_chk_code("form.chk", "form.db", "viewForm")   # lists, writes nothing
    ['WEIGHT']
    >>> imp.preview_chk_code("form.chk", "form.db", "viewForm").new_tables
    []
    >>> imp.get_chk_code("form.chk", "form.db", "viewForm", ignore_new=True)
    []
    >>> db.execute("SELECT Lists FROM viewForm").fetchone()
    ('MG[0,120]',)
    >>> try:
    ...     imp.get_chk_code("form.chk", "form.db", "viewform")
    ... except chkimport.TableNotFoundError as error:
    ...     print(error, "/", error.result)
    Table Not In MDB: viewform / Table Not In MDB
    >>> try:
    ...     imp.get_chk_code("other.chk", "form.db", "viewForm")
    ... except FileNotFoundError as error:
    ...     print(error.filename)
    other.chk

CLASSES

    CHKImport(language=None, languages_dir=None)
        The component, with a state and a language of its own: get_chk_code
        (a pass), preview_chk_code (what a pass would change, rolled back),
        new_view and convert_form (forms from .REC files), show_dialog (the
        import dialog), set_language, set_include_within, and GetCHKCode, the
        component's own call, which returns its messages instead of raising.
    FormResult, ImportPreview, RowChange
        What the calls return; their repr shows every field.

EXCEPTIONS

    FileNotFoundError           the database, CHK or .REC file is not there (filename: the path)
    TableNotFoundError          the view table is not in the database (a LookupError)
    ImportError                 the base of the others; str() in the object's language,
                                result: the component's own text
      NoTableNameError, CannotOpenDatabaseError, NoViewTablesError,
      NoMatchingFieldsError, NotSavedError, NotACheckFileError,
      ImportInterruptedError (errors: the VbError of each), FormError, ViewExistsError
    VbError                     an error the component met (number, description, routines)

LANGUAGE

    Messages and the comment lines written into check code are in the
    object's language: set_language("Spanish") (or CHKImport(language=...))
    holds for every later call of the object; by default it is the Language
    key of section [Variables] in $XDG_CONFIG_HOME/chkimport/settings.ini.

A call releases the interpreter lock while it runs; calls on one object
take turns. Paths may be str or any os.PathLike.
)manual";

}  // namespace chkimport
