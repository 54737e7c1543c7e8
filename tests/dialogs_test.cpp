// The dialog path, driven headless through the scripted windowing system:
// the import dialog, the view chooser, the unmatched-fields dialog, the
// closing messages and the report.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "dialogs/forms.h"
#include "dialogs/frm_import.h"
#include "import_harness.h"
#include "services/scripted_windowing.h"

namespace chkimport {
namespace {

using namespace testing_support;
using V = std::vector<std::string>;

void click(Form& form, const std::string& control) {
  form.Fire(control, FormEvent::Click);
}
void type(Form& form, const std::string& control, const std::string& text) {
  form[control].Text = text;
  form.Fire(control, FormEvent::Change);
}
void key(Form& form, const std::string& control, int code) {
  form.Fire(control, FormEvent::KeyDown, code);
  form.Fire(control, FormEvent::KeyPress, code);
}

struct Dialogs : ::testing::Test {
  Dialogs() {
    view.module->host.windowing = ui;
    view.chk = view.dir.write("form.chk", "AGE\r\n  GOTO NAME\r\nEND\r\nWEIGHT\r\nEND\r\n");
    testing_support::execSql(view.db, testing_support::viewTableSql("viewOther", {"X"}));
  }
  ~Dialogs() override { EXPECT_EQ(ui->ScriptErrors(), V{}); }

  std::string show(const std::string& table = "viewForm", bool overwrite = false, bool ignoreNew = false,
                   bool tables = false) {
    return view.component.GetCHKCode(view.chk, view.db, table, true, overwrite, ignoreNew, tables);
  }
  ImportState& st() { return *view.module; }

  ImportRun view{{{.Name = "Age"}, {.Name = "Name"}}};
  std::shared_ptr<ScriptedWindowing> ui = std::make_shared<ScriptedWindowing>();
};

// A failed OK names the path it did not find and leaves the boxes as typed.
TEST_F(Dialogs, OKNeedsBothNamesAndAChangedNameClearsTheTable) {
  ui->Answer(MsgBoxResult::OK);
  ui->OnShow("frmImport", [&](Form& f) {
    type(f, "txtFileName", "missing.chk");
    click(f, "cmdOK");
    EXPECT_EQ(f["txtFileName"].Text + " " + f["txtDBName"].Text, "missing.chk " + view.db);
    type(f, "txtFileName", "   ");
    EXPECT_FALSE(f["cmdOK"].Enabled);
    EXPECT_EQ(f["txtTableName"].Text, "");
    type(f, "txtFileName", view.chk);
    EXPECT_TRUE(f["cmdOK"].Enabled);
    type(f, "txtDBName", "");
    EXPECT_FALSE(f["cmdOK"].Enabled);
    key(f, "", vbKeyEscape);
  });
  show();
  EXPECT_TRUE(st().Forms.empty());
  EXPECT_EQ(ui->Shown()[1], "msgbox [OK] : CHECK file not found. | Not found: " +
                                (std::filesystem::current_path() / "missing.chk").string());
}

// The host's arguments fill the dialog; browsing puts the chosen file in, and
// a cancelled browse changes nothing.
TEST_F(Dialogs, TheHostsArgumentsAndTheChosenFilesFillTheDialog) {
  ui->Choose(std::nullopt);
  ui->Choose("/data/other.db");
  ui->OnShow("frmImport", [&](Form& f) {
    // The table is filled last, after the names cleared it.
    EXPECT_EQ(f["txtFileName"].Text + "|" + f["txtDBName"].Text + "|" + f["txtTableName"].Text,
              view.chk + "|" + view.db + "|viewForm");
    EXPECT_TRUE(f["cmdOK"].Enabled && f["cmdOK"].Default);  // Enter presses OK
    // False options leave the boxes as the dialog set them up: ticked.
    for (const char* box : {"chkOverwrite", "chkIgnoreNew", "chkGenerateTables"})
      EXPECT_EQ(f[box].Value, 1) << box;
    click(f, "cmdBrowseCHK");
    EXPECT_EQ(f["txtFileName"].Text + "|" + f["txtTableName"].Text, view.chk + "|viewForm");
    click(f, "cmdBrowseMDB");
    EXPECT_EQ(f["txtDBName"].Text + "|" + f["txtTableName"].Text, "/data/other.db|");
    click(f, "cmdCancel");
  });
  EXPECT_EQ(show(), "");
  EXPECT_TRUE(st().Forms.empty());  // Cancel closed every dialog, the hidden one too
  EXPECT_EQ(ui->Shown(),
            (V{"show frmImport", "open [Check Files (*.chk)|*.chk|All Files (*.*)|*.*] " + view.chk,
               "open [Database Files (*.mdb)|*.mdb|All Files (*.*)|*.*] " + view.db}));
}

TEST_F(Dialogs, AWholeImportWithTheSummaryOfUnmatchedFields) {
  ui->OnShow("frmVList", [&](Form& f) {
    // The first name is already chosen.
    EXPECT_EQ(f["listTable"].List, (V{"viewForm", "viewOther"}));
    EXPECT_EQ(f["listTable"].ListIndex, 0);
    click(f, "Cmdok");
  });
  ui->OnShow("frmNoMatch", [&](Form& f) {
    EXPECT_EQ(f["listNoMatch"].List, V{"WEIGHT"});
    // Nothing was written by the listing pass.
    EXPECT_EQ(view.checkcode("Age"), "<null>");
    click(f, "Cmdok");
  });
  ui->Answer(MsgBoxResult::No);
  ui->OnShow("frmImport", [&](Form& f) {
    f.SetValue("chkIgnoreNew", 0);
    click(f, "cmdOK");
    // The dialog stays open after the import, as it was.
    EXPECT_EQ(f["txtTableName"].Text, "viewForm");
    click(f, "cmdCancel");
  });
  show("");
  EXPECT_EQ(view.checkcode("Age"), stored({"GOTO NAME"}));  // the dialog's overwrite box is ticked
  EXPECT_EQ(ui->Shown(), (V{"show frmImport", "show frmVList", "show frmNoMatch",
                            "msgbox [YesNo] Print Check Code?: The CHECK Code import has completed.\r\n"
                            "Print imported CHECK code to text file?"}));
}

// Escape in the summary (every field found) ends the import: no second run, no message.
TEST_F(Dialogs, EscapeInTheSummaryEndsTheImport) {
  view.chk = view.dir.write("form.chk", "AGE\r\nEND\r\n");
  ui->OnShow("frmVList", [&](Form& f) { f.Fire("listTable", FormEvent::DblClick); });
  ui->OnShow("frmNoMatch", [&](Form& f) {
    EXPECT_EQ(f["listNoMatch"].List, V{"All Vantrel6 fields were found."});
    key(f, "listNoMatch", vbKeyEscape);
  });
  ui->OnShow("frmImport", [&](Form& f) {
    f.SetValue("chkIgnoreNew", 0);
    click(f, "cmdOK");
    click(f, "cmdCancel");
  });
  show();
  EXPECT_EQ(view.checkcode("Age"), "<null>");
  EXPECT_EQ(ui->Shown(), (V{"show frmImport", "show frmVList", "show frmNoMatch"}));
}

TEST_F(Dialogs, ACancelledChooserEndsWithoutTranslationOrMessage) {
  for (const bool escape : {false, true}) {
    ui->OnShow("frmVList", [&](Form& f) {
      if (escape)
        key(f, "listTable", vbKeyEscape);
      else
        click(f, "Cmdcancel");
    });
    ui->OnShow("frmImport", [&](Form& f) {
      click(f, "cmdOK");
      click(f, "cmdCancel");
    });
    show();
    EXPECT_EQ(view.checkcode("Age"), "<null>");
    EXPECT_EQ(ui->Shown().back(), "show frmVList");
  }
}

TEST_F(Dialogs, WithTheSummarySuppressedTheFirstRunWritesAndAMessageSaysWhatFailed) {
  ui->OnShow("frmVList", [&](Form& f) { click(f, "Cmdok"); });
  ui->Answer(MsgBoxResult::No);
  ui->OnShow("frmVList", [&](Form& f) { click(f, "Cmdok"); });
  ui->Answer(MsgBoxResult::OK);
  ui->OnShow("frmImport", [&](Form& f) {
    click(f, "cmdOK");
    EXPECT_EQ(view.checkcode("Age"), stored({"GOTO NAME"}));
    dynamic_cast<FrmImport&>(f).SetText("txtFileName", view.dir.write("none.chk", "WEIGHT\r\nEND\r\n"));
    click(f, "cmdOK");
    click(f, "cmdCancel");
  });
  show("viewForm", true, true);
  EXPECT_EQ(ui->Shown().back(), "msgbox [OK] : No matching fields were found.");
}

// The report is saved where the user says and offered to be shown; when no
// program can show it, the user is told where it is instead. A cancelled
// save writes nothing.
TEST_F(Dialogs, ThePrintQuestionWritesTheReportAndOffersToShowIt) {
  const std::string report = view.dir.file("chosen.txt");
  testing_support::InFolder inFolder(view.dir.path());
  unsetenv("VISUAL");
  unsetenv("EDITOR");
  const V written = {
      "save [Text Files (*.txt)|*.txt|All Files (*.*)|*.*] Save the Check Code Report: Form.txt",
      "msgbox [OKCancel] : Check code written to " + report + "\r\nView new file?",
      "start xdg-open " + report};
  const std::string notShown =
      "msgbox [OK] : No program could be started to show the report. It was written to: | " + report;
  const struct {
    std::optional<std::string> chosen;
    bool starts;
    V shown;  // after the question
  } cases[] = {{report, true, written},
               {report, false, {written[0], written[1], written[2], notShown}},
               {std::nullopt, true, {written[0]}}};
  for (const auto& c : cases) {
    ui = std::make_shared<ScriptedWindowing>();
    view.module->host.windowing = ui;
    ui->ProgramsStart(c.starts);
    ui->OnShow("frmVList", [&](Form& f) { click(f, "Cmdok"); });
    ui->Answer(MsgBoxResult::Yes);
    ui->Choose(c.chosen);
    if (c.chosen) ui->Answer(MsgBoxResult::OK);
    if (!c.starts) ui->Answer(MsgBoxResult::OK);
    ui->OnShow("frmImport", [&](Form& f) {
      click(f, "cmdOK");
      click(f, "cmdCancel");
    });
    show("viewForm", true, true);
    const V shown = ui->Shown();
    EXPECT_EQ(V(shown.begin() + std::min<std::size_t>(3, shown.size()), shown.end()), c.shown);
    EXPECT_EQ(ui->ScriptErrors(), V{});
  }
  EXPECT_NE(testing_support::readFile(report).find("GOTO NAME"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(view.dir.file("Form.txt")));
}

// While the dialog is up, the user answers each error. A 502nd line in one
// section is out of range: "A" runs the failing statement again, "B" goes on
// with the next one (the count then passes the last row, and writing the
// field's code meets the fault again), "C" closes every dialog, "C" and "D"
// leave the routine.
TEST(DialogErrors, EachAnswerDoesWhatItSays) {
  const std::string inInsert = "action 9: Subscript out of range in InsertNewContent, ImportCHKCode";
  const std::string inImport = "action 9: Subscript out of range in ImportCode, ImportCHKCode";
  const struct {
    V answers, asked;
    bool closes;
  } cases[] = {{{"A", "D"}, {inInsert, inInsert}, false},
               {{"B", "B"}, {inInsert, inImport}, false},
               {{"C"}, {inInsert}, true}};
  for (const auto& c : cases) {
    ImportRun view{{{.Name = "Age"}}};
    auto ui = std::make_shared<ScriptedWindowing>();
    view.module->host.windowing = ui;
    std::string text = "AGE\r\n";
    for (int i = 0; i < 502; ++i) text += "X = " + std::to_string(i) + "\r\n";
    view.chk = view.dir.write("form.chk", text + "END\r\n");
    for (const auto& answer : c.answers) ui->AnswerAction(answer);
    ui->OnShow("frmVList", [&](Form& f) { click(f, "Cmdok"); });
    ui->Answer(MsgBoxResult::No);  // no report
    ui->OnShow("frmImport", [&](Form& f) {
      click(f, "cmdOK");
      EXPECT_EQ(Loaded<FrmImport>(*view.module) == nullptr, c.closes) << c.answers[0];
      if (!c.closes) click(f, "cmdCancel");
    });
    view.component.GetCHKCode(view.chk, view.db, "viewForm", true, true, true);
    V asked;
    for (const auto& shown : ui->Shown())
      if (shown.rfind("action", 0) == 0) asked.push_back(shown);
    EXPECT_EQ(asked, c.asked) << c.answers[0];
    EXPECT_EQ(ui->ScriptErrors(), V{}) << c.answers[0];
    // The import went on: the lines before the 502nd are kept.
    EXPECT_NE(view.checkcode("Age").find("ASSIGN X = 500\r\n"), std::string::npos) << c.answers[0];
  }
}

TEST(Report, ExactBytes) {
  ImportRun view({{.Name = "Abcdefghij", .Checkcode = "GOTO X\r\n"},
                  {.Name = "Abcdefghijk", .Checkcode = "A\r\nENDBEFORE\r\nB\r\n"},
                  {.Name = "Abcdefghijkl", .Checkcode = "C"},
                  {.Name = "Empty", .Checkcode = ""},
                  {.Name = "Null"},
                  {.Name = "Hidden", .Checkcode = "never shown", .PageNumber = -1},
                  {.Name = std::string(60, 'L'), .Checkcode = "long"}});
  const std::string path = view.dir.file("report.txt");
  WriteCheckCodeReport(*view.module, path, "/data/form.chk", view.db, "viewForm");
  std::string text = testing_support::readFile(path);

  const std::regex date("Date/Time      : [^\r\n]+\r\n");
  text = std::regex_replace(text, date, "Date/Time      : <now>\r\n");
  const std::string expected = path +
                               "\r\n\r\n"
                               "Vantrel 2000 Check code translated and imported \r\n"
                               "from Vantrel 6.04 (or earlier) syntax.\r\n\r\n"
                               "Date/Time      : <now>\r\n"
                               "CHECK File Name: /data/form.chk\r\n"
                               "Project Name   : " +
                               view.db +
                               "\r\n"
                               "View Name      : viewForm\r\n\r\n"
                               "This report only lists fields that contain Checkcode.\r\n\r\n\r\n" +
                               std::string(22, '=') + "  Field Name: Abcdefghij  " + std::string(22, '=') +
                               "\r\n\r\nGOTO X\r\n\r\n\r\n" + std::string(21, '=') +
                               "  Field Name: Abcdefghijk  " + std::string(21, '=') +
                               "\r\n\r\nA\r\nENDBEFORE\r\nB\r\n\r\n\r\n" + std::string(20, '=') +
                               "  Field Name: Abcdefghijkl  " + std::string(20, '=') + "\r\n\r\nC\r\n\r\n" +
                               "  Field Name: " + std::string(60, 'L') + "  \r\n\r\nlong\r\n\r\n";
  EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace chkimport
