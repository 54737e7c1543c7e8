"""What the Python module adds to the component, on view databases made with
sqlite3: its names and keyword arguments, its exceptions, its data classes.

Run by CTest with PYTHONPATH at the module in the build tree.
"""

import doctest
import pathlib
import sqlite3

import pytest

import chkimport

REC = "1 1\r\n#age          1   1  30  33   1   0   2 112  Age in years\r\n"


def make_view(db, names):
    with sqlite3.connect(db) as con:
        con.execute("CREATE TABLE viewForm (Name TEXT, PageNumber INTEGER, Checkcode TEXT, Type TEXT, "
                    "Formatstring TEXT, Lists TEXT)")
        con.executemany("INSERT INTO viewForm (Name, PageNumber, Type) VALUES (?, 1, 'NUMBER')",
                        [(n,) for n in names])


def row(db, name, table="viewForm"):
    with sqlite3.connect(db) as con:
        return con.execute(f'SELECT Checkcode, Lists FROM "{table}" WHERE Name = ?', (name,)).fetchone()


def write(path, *lines):
    path.write_bytes("".join(line + "\r\n" for line in lines).encode())
    return path


class FsPath:
    """A path object that is not a str nor a pathlib path."""

    def __init__(self, path):
        self.path = path

    def __fspath__(self):
        return str(self.path)


@pytest.fixture
def form(tmp_path):
    db = tmp_path / "form.db"
    make_view(db, ["AGE", "WEIGHT"])
    return write(tmp_path / "form.chk", "AGE", "  RANGE 0 99", "END", "HEIGHT", "  MUSTENTER", "END"), db


def test_keywords_reach_the_passes(form):
    chk, db = form
    imp = chkimport.CHKImport()
    assert imp.get_chk_code(str(chk), str(db), "viewForm") == ["HEIGHT"]
    assert imp.unmatched_fields() == ["HEIGHT"]
    assert row(db, "AGE") == (None, None)  # the listing pass writes nothing
    for _ in range(2):
        assert imp.get_chk_code(chk, db, "viewForm", ignore_new=True) == []
    assert row(db, "AGE")[0].count("*RANGE") == 2
    imp.get_chk_code(chk, db, "viewForm", overwrite=True, ignore_new=True)
    assert (row(db, "AGE")[0].count("*RANGE"), row(db, "AGE")[1]) == (1, "G[0,99]")
    # strCHKName, strDBName, strTableName, blnShowGUI, blnOverwrite, blnIgnoreNew
    assert imp.GetCHKCode(FsPath(chk), FsPath(db), "viewForm", False, False, True) == ""
    assert row(db, "AGE")[0].count("*RANGE") == 2
    with pytest.raises(TypeError):
        imp.get_chk_code(42, db, "viewForm")


def test_preview_returns_the_changes_the_import_then_writes(form):
    chk, db = form
    before = db.read_bytes()
    imp = chkimport.CHKImport()
    preview = imp.preview_chk_code(chk, db, "viewForm", generate_tables=True)
    assert db.read_bytes() == before
    assert repr(preview).startswith("ImportPreview(result='', unmatched=[], changes=[RowChange(view='viewForm', "
                                    "row='AGE', column='Checkcode', old_value='', new_value=")
    imp.get_chk_code(chk, db, "viewForm", ignore_new=True, generate_tables=True)
    assert [c.new_value for c in preview.changes] == list(row(db, "AGE"))
    diff = chkimport.unified_diff(preview.changes[0])
    assert diff.startswith("--- viewForm/AGE/")
    assert "\x1b[" not in diff and "\x1b[" in chkimport.unified_diff(preview.changes[0], colour=True)
    with pytest.raises(chkimport.TableNotFoundError):
        imp.preview_chk_code(chk, db, "viewNone")


@pytest.mark.parametrize(
    "chk, db, table, error, text",
    [
        ("form.chk", "form.db", "", chkimport.NoTableNameError, "No Table Name Supplied"),
        ("form.chk", "missing.db", "viewForm", FileNotFoundError, "MDB file not found."),
        ("form.chk", "form.db", "viewOther", chkimport.TableNotFoundError, "Table Not In MDB: viewOther"),
    ],
)
def test_a_call_that_cannot_run_raises(form, tmp_path, chk, db, table, error, text):
    with pytest.raises(error) as raised:
        chkimport.CHKImport().get_chk_code(tmp_path / chk, tmp_path / db, table, ignore_new=True)
    if error is FileNotFoundError:
        assert raised.value.strerror == text
        assert raised.value.filename == str(tmp_path / (db if "MDB" in text else chk))
    else:
        assert str(raised.value) == text and isinstance(raised.value, chkimport.ImportError)
    assert isinstance(raised.value, LookupError) == (error is chkimport.TableNotFoundError)
    # The component's own call returns its text.
    assert chkimport.CHKImport().GetCHKCode(tmp_path / chk, tmp_path / db, table, False) == text.split(":")[0]


def test_errors_inside_the_pass_raise_after_it(form):
    chk, db = form
    write(chk, "AGE", *["X = 1"] * 502, "END")
    with pytest.raises(chkimport.ImportInterruptedError) as raised:
        chkimport.CHKImport().get_chk_code(chk, db, "viewForm", overwrite=True, ignore_new=True)
    assert str(raised.value) == "1 error interrupted the import"
    assert [(e.number, e.routines[0]) for e in raised.value.errors] == [(9, "InsertNewContent, ImportCHKCode")]


def test_forms_convert_and_a_view_that_exists_is_refused(tmp_path):
    (tmp_path / "form.rec").write_bytes((REC + "42!\r\n 7?\r\n").encode())
    write(tmp_path / "FORM.CHK", "AGE", "  RANGE 0 99", "END")
    db = tmp_path / "forms.db"
    imp = chkimport.CHKImport()
    r = imp.convert_form(tmp_path / "form.rec", db)
    assert (r.result, r.table, pathlib.Path(r.chk).name, row(db, "age", "viewform")[1]) == (
        "", "viewform", "FORM.CHK", "G[0,99]")
    assert (r.data_table, r.records, r.deleted_records, r.code_lines) == ("form", 2, 1, 3)
    assert [(a.field, a.kind) for a in r.advice] == [("AGE", "property")]
    assert repr(r).startswith("FormResult(result='', view_exists=False, table='viewform', fields=1, ")
    r = imp.convert_form(tmp_path / "form.rec", db, view="viewOther", data_table="Other", skip_deleted=True)
    assert (r.result, r.records) == ("", 1)
    assert imp.new_view(tmp_path / "form.rec", db, view="viewAges").result == ""
    with pytest.raises(chkimport.ViewExistsError, match="viewAges") as raised:
        imp.new_view(tmp_path / "form.rec", db, view="viewAges")
    assert raised.value.form_result.view_exists


def test_the_manual_example_runs_as_it_stands(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    outcome = doctest.testmod(chkimport)
    assert outcome.failed == 0 and outcome.attempted >= 10

