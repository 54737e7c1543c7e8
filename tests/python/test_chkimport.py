"""The Python module on real view databases made with sqlite3.

Run by CTest with PYTHONPATH at the module in the build tree and
CHKIMPORT_TEST_LANGUAGES at the build tree's catalogs.
"""

import ast
import doctest
import os
import pathlib
import sqlite3

import pytest

import chkimport

RANGE_SET = "*RANGE is a property set by checkbox on field dialog. \r\n*Property has been set."


def make_view(db, names, table="viewForm"):
    con = sqlite3.connect(db)
    with con:
        con.execute(
            f'CREATE TABLE "{table}" (Name TEXT, PageNumber INTEGER, Checkcode TEXT, '
            "Type TEXT, Formatstring TEXT, Lists TEXT)"
        )
        con.executemany(
            f"INSERT INTO \"{table}\" (Name, PageNumber, Type) VALUES (?, 1, 'NUMBER')",
            [(n,) for n in names],
        )
    con.close()


def row(db, name, table="viewForm"):
    con = sqlite3.connect(db)
    try:
        return con.execute(f'SELECT Checkcode, Lists FROM "{table}" WHERE Name = ?', (name,)).fetchone()
    finally:
        con.close()


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
    chk = write(tmp_path / "form.chk", "AGE", "  RANGE 0 99", "END", "HEIGHT", "  MUSTENTER", "END")
    return chk, db


@pytest.fixture
def languages():
    return pathlib.Path(os.environ["CHKIMPORT_TEST_LANGUAGES"])


class TestPreview:
    def test_preview_lists_what_the_import_then_writes_and_changes_nothing(self, form):
        chk, db = form
        before = db.read_bytes()
        imp = chkimport.CHKImport()
        preview = imp.preview_chk_code(chk, db, "viewForm", generate_tables=True)
        assert preview.result == ""
        assert db.read_bytes() == before
        changed = {(c.row, c.column): c.new_value for c in preview.changes}
        assert set(changed) == {("AGE", "Checkcode"), ("AGE", "Lists")}
        assert imp.get_chk_code(chk, db, "viewForm", ignore_new=True, generate_tables=True) == []
        checkcode, lists = row(db, "AGE")
        assert changed[("AGE", "Lists")] == lists
        assert changed[("AGE", "Checkcode")] == checkcode
        diff = chkimport.unified_diff(preview.changes[0])
        assert diff.startswith("--- viewForm/AGE/")
        assert "\x1b[" not in diff and "\x1b[" in chkimport.unified_diff(preview.changes[0], colour=True)

    def test_a_preview_that_cannot_run_raises(self, form):
        chk, db = form
        with pytest.raises(chkimport.TableNotFoundError):
            chkimport.CHKImport().preview_chk_code(chk, db, "viewNone")


class TestImport:
    def test_writing_pass_stores_check_code_and_lists(self, form):
        chk, db = form
        imp = chkimport.CHKImport()
        assert imp.get_chk_code(chk, db, "viewForm", ignore_new=True) == []
        checkcode, lists = row(db, "AGE")
        assert lists == "G[0,99]"
        assert RANGE_SET in checkcode
        assert row(db, "WEIGHT") == (None, None)

    def test_listing_pass_names_unmatched_fields_and_writes_nothing(self, form):
        chk, db = form
        imp = chkimport.CHKImport()
        assert imp.get_chk_code(str(chk), str(db), "viewForm") == ["HEIGHT"]
        assert imp.unmatched_fields() == ["HEIGHT"]
        assert row(db, "AGE") == (None, None)

    def test_overwrite_replaces_instead_of_adding(self, form):
        chk, db = form
        imp = chkimport.CHKImport()
        for _ in range(2):
            imp.get_chk_code(chk, db, "viewForm", ignore_new=True)
        assert row(db, "AGE")[0].count(RANGE_SET) == 2
        imp.get_chk_code(chk, db, "viewForm", overwrite=True, ignore_new=True)
        assert row(db, "AGE")[0].count(RANGE_SET) == 1

    def test_original_call_takes_its_arguments_in_order(self, form):
        chk, db = form
        imp = chkimport.CHKImport()
        # strCHKName, strDBName, strTableName, blnShowGUI, blnOverwrite, blnIgnoreNew
        assert imp.GetCHKCode(FsPath(chk), FsPath(db), "viewForm", False, False, True) == ""
        assert row(db, "AGE")[1] == "G[0,99]"

    def test_paths_must_be_paths(self, form):
        chk, db = form
        with pytest.raises(TypeError):
            chkimport.CHKImport().get_chk_code(42, db, "viewForm")


class TestFailures:
    @pytest.mark.parametrize(
        "chk, db, table, error, text",
        [
            ("form.chk", "form.db", "", chkimport.NoTableNameError, "No Table Name Supplied"),
            ("form.chk", "missing.db", "viewForm", FileNotFoundError, "MDB file not found."),
            ("missing.chk", "form.db", "viewForm", FileNotFoundError, "CHECK file not found."),
            ("form.chk", "form.db", "viewOther", chkimport.TableNotFoundError, "Table Not In MDB: viewOther"),
        ],
    )
    def test_a_call_that_cannot_run_raises(self, form, tmp_path, chk, db, table, error, text):
        with pytest.raises(error) as raised:
            chkimport.CHKImport().get_chk_code(tmp_path / chk, tmp_path / db, table, ignore_new=True)
        if error is FileNotFoundError:
            assert raised.value.strerror == text
            assert raised.value.filename == str(tmp_path / (db if "MDB" in text else chk))
        else:
            assert str(raised.value) == text and isinstance(raised.value, chkimport.ImportError)
        assert isinstance(raised.value, LookupError) == (error is chkimport.TableNotFoundError)
        assert row(form[1], "AGE") == (None, None)
        # The component's own call returns its text.
        assert chkimport.CHKImport().GetCHKCode(tmp_path / chk, tmp_path / db, table, False) == text.split(":")[0]

    def test_errors_inside_the_pass_raise_after_it(self, form):
        chk, db = form
        write(chk, "AGE", *["X = 1"] * 502, "END")
        with pytest.raises(chkimport.ImportInterruptedError) as raised:
            chkimport.CHKImport().get_chk_code(chk, db, "viewForm", overwrite=True, ignore_new=True)
        assert str(raised.value) == "1 error interrupted the import"
        assert [(e.number, e.routines[0]) for e in raised.value.errors] == [(9, "InsertNewContent, ImportCHKCode")]

    # Without a folder, the module finds the catalogs of its own tree.
    @pytest.mark.parametrize("given", [True, False], ids=["folder given", "module's own"])
    def test_the_language_set_holds_for_every_later_call(self, form, languages, given):
        chk, db = form
        spanish, english = chkimport.CHKImport(), chkimport.CHKImport()
        spanish.set_language("Spanish", languages if given else None)
        for _ in range(2):  # a failed call changes nothing
            with pytest.raises(chkimport.NoTableNameError, match="No se indicó el nombre de la tabla"):
                spanish.get_chk_code(chk, db, "")
        spanish.get_chk_code(chk, db, "viewForm", ignore_new=True)
        assert "*RANGE es una propiedad" in row(db, "AGE")[0]
        # Each object has a language of its own.
        with pytest.raises(chkimport.NoTableNameError, match="No Table Name Supplied"):
            english.get_chk_code(chk, db, "")

    def test_an_unreadable_catalog_raises_vb_error_and_keeps_the_language(self, form, tmp_path):
        chk, db = form
        (tmp_path / "Broken.po").write_bytes(b'msgid "unterminated\n')
        imp = chkimport.CHKImport()
        with pytest.raises(chkimport.VbError) as raised:
            imp.set_language("Broken", tmp_path)
        assert raised.value.number == 5
        assert "Broken.po" in raised.value.description
        assert str(raised.value).startswith("error 5: ")
        assert imp.GetCHKCode(chk, db, "", False) == "No Table Name Supplied"


class TestTheModuleAsDocumented:
    def test_the_manual_example_runs_as_it_stands(self, tmp_path, monkeypatch):
        monkeypatch.chdir(tmp_path)
        outcome = doctest.testmod(chkimport)
        assert outcome.failed == 0 and outcome.attempted >= 10

    def test_the_stub_has_every_name_with_a_docstring(self):
        stub = pathlib.Path(chkimport.__file__).with_name("chkimport.pyi")
        tree = ast.parse(stub.read_text())
        documented = {}
        for node in ast.walk(tree):
            if isinstance(node, (ast.ClassDef, ast.FunctionDef)):
                documented[node.name] = ast.get_docstring(node)
                for member in node.body if isinstance(node, ast.ClassDef) else []:
                    if isinstance(member, ast.FunctionDef):
                        documented[node.name + "." + member.name] = ast.get_docstring(member)
        names = {n for n in dir(chkimport) if not n.startswith("_")}
        for name in names:
            value = getattr(chkimport, name)
            assert documented.get(name), name
            if isinstance(value, type) and value.__module__ == "chkimport":
                for member in vars(value):
                    if not member.startswith("_"):
                        assert documented.get(name + "." + member), name + "." + member

    def test_results_show_their_contents(self, form):
        chk, db = form
        preview = chkimport.CHKImport().preview_chk_code(chk, db, "viewForm")
        assert repr(preview).startswith("ImportPreview(result='', unmatched=[], changes=[RowChange(view='viewForm', "
                                        "row='AGE', column='Checkcode', old_value='', new_value=")
        assert "new_tables=[])" in repr(preview)


class TestForms:
    REC = "1 1\r\n#age          1   1  30  33   1   0   2 112  Age in years\r\n"

    def test_convert_makes_the_view_and_imports_the_chk_beside(self, tmp_path):
        (tmp_path / "form.rec").write_bytes((self.REC + "42!\r\n 7?\r\n").encode())
        write(tmp_path / "FORM.CHK", "AGE", "  RANGE 0 99", "END")
        db = tmp_path / "forms.db"
        imp = chkimport.CHKImport()
        r = imp.convert_form(tmp_path / "form.rec", db)
        assert (r.result, r.table, r.fields) == ("", "viewform", 1)
        assert pathlib.Path(r.chk).name == "FORM.CHK"
        assert row(db, "age", "viewform")[1] == "G[0,99]"
        assert (r.data_table, r.records, r.deleted_records, r.code_lines) == ("form", 2, 1, 3)
        assert [(a.field, a.kind) for a in r.advice] == [("AGE", "property")]
        assert repr(r).startswith("FormResult(result='', view_exists=False, table='viewform', fields=1, ")
        r = imp.convert_form(tmp_path / "form.rec", db, view="viewOther", data_table="Other", skip_deleted=True)
        assert (r.result, r.records) == ("", 1)
        r = imp.convert_form(tmp_path / "form.rec", db, view="viewThird", no_data=True)
        assert (r.result, r.data_table) == ("", "")
        with pytest.raises(FileNotFoundError) as raised:
            chkimport.CHKImport().convert_form(tmp_path / "none.rec", db)
        assert raised.value.filename == str(tmp_path / "none.rec")

    def test_include_can_be_confined_to_a_folder(self, tmp_path):
        (tmp_path / "in").mkdir()
        write(tmp_path / "secret.chk", "GOTO SECRET")
        make_view(tmp_path / "form.db", ["AGE"])
        chk = write(tmp_path / "in" / "form.chk", "AGE", "INCLUDE ..\\SECRET.CHK", "END")
        imp = chkimport.CHKImport()
        with pytest.raises(chkimport.VbError):
            imp.set_include_within(tmp_path / "none")
        imp.set_include_within(folder=tmp_path / "in")
        assert imp.get_chk_code(chk, tmp_path / "form.db", "viewForm", ignore_new=True) == []
        assert "CHECK file not found." in row(tmp_path / "form.db", "AGE")[0]

    def test_new_view_refuses_a_table_that_exists(self, tmp_path):
        (tmp_path / "form.rec").write_bytes(self.REC.encode())
        db = tmp_path / "forms.db"
        imp = chkimport.CHKImport()
        assert imp.new_view(tmp_path / "form.rec", db, view="viewAges").result == ""
        with pytest.raises(chkimport.ViewExistsError) as raised:
            imp.new_view(tmp_path / "form.rec", db, view="viewAges")
        assert raised.value.form_result.view_exists
        assert "viewAges" in str(raised.value)
