// The Qt layer driven through its real widgets on the offscreen platform:
// what the user does reaches the form's handlers, the widgets follow the
// form's data, and the form's handlers alone decide when a dialog ends.
#include "gui/qt_windowing.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <sstream>
#include <tuple>

#include "chkimport/vb_error.h"
#include "core/import_state.h"
#include "dialogs/forms.h"
#include "qt_support.h"
#include "test_support.h"

namespace chkimport {
namespace {

using testing_support::TempDir;

// Hides every modal window, so that a test that went wrong ends.
void closeEverything() {
  while (QWidget* w = QApplication::activeModalWidget()) w->hide();
}

// Runs `action` once the window of that object name is the active modal one.
void whenModal(const QString& name, std::function<void(QWidget*)> action) {
  auto* poll = new QTimer;
  const auto start = std::chrono::steady_clock::now();
  QObject::connect(poll, &QTimer::timeout, [=] {
    QWidget* w = QApplication::activeModalWidget();
    const bool there = w && w->objectName() == name;
    if (!there && std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) return;
    poll->stop();
    poll->deleteLater();
    if (!there) {
      ADD_FAILURE() << "no window " << name.toStdString();
      closeEverything();
      return;
    }
    QTimer::singleShot(0, [action, window = QPointer<QWidget>(w)] {
      if (window) action(window);
    });
  });
  poll->start(5);
}

using Fired = std::tuple<std::string, FormEvent, int>;  // control, event, argument

// A control placed at `left`, `top`, `width` and `height` (in twips).
Control at(Control c, int left, int top, int width, int height) {
  c.Left = left;
  c.Top = top;
  c.Width = width;
  c.Height = height;
  return c;
}

// A dialog of every kind of control; it records what it is told, with the
// text box's text as each event came, and runs the handler a test gives it.
class TestForm : public Form {
 public:
  explicit TestForm(ImportState& state, const std::string& name = "frmTest") : Form(state, name) {
    ClientWidth = 4500;
    ClientHeight = 3000;
    using enum ControlKind;
    add(at({.Name = "lblName", .Kind = Label, .Caption = "&Name:"}, 120, 120, 1200, 255));
    add(at({.Name = "txtName", .Kind = TextBox, .TabIndex = 0}, 1440, 120, 2895, 285));
    add(at({.Name = "chkFlag", .Kind = CheckBox, .Caption = "&Flag", .TabIndex = 1}, 120, 600, 2000, 255));
    add(at({.Name = "cmdGo", .Kind = CommandButton, .Caption = "&Go", .TabIndex = 2}, 3240, 2460, 1095, 375));
    add(at({.Name = "listItems", .Kind = ListBox, .TabIndex = 3, .List = {"alpha", "beta", "gamma"}}, 120,
           960, 2895, 1400));
    add(at({.Name = "cmdOff", .Kind = CommandButton, .Caption = "Off", .TabIndex = 4, .Enabled = false}, 120,
           2460, 1095, 375));
  }

  void Fire(const std::string& control, FormEvent event, int arg) override {
    fired.push_back({control, event, arg});
    texts.push_back((*this)["txtName"].Text);
    if (onFire) onFire(control, event, arg);
  }
  void FrameClosed() override {
    frameClosed = true;
    Form::FrameClosed();
  }
  // Runs `action` when `control` is clicked.
  void onClick(const std::string& control, std::function<void()> action) {
    onFire = [=](const std::string& c, FormEvent e, int) {
      if (c == control && e == FormEvent::Click) action();
    };
  }
  std::vector<Fired> firedFor(const std::string& control) const {
    std::vector<Fired> result;
    std::copy_if(fired.begin(), fired.end(), std::back_inserter(result),
                 [&](const Fired& f) { return std::get<0>(f) == control; });
    return result;
  }

  std::vector<Fired> fired;
  std::vector<std::string> texts;
  std::function<void(const std::string&, FormEvent, int)> onFire;
  bool frameClosed = false;
};

struct QtLayer : ::testing::Test {
  QtLayer() {
    st.host.windowing = layer;
    st.host.errorLog = &log;
  }
  ~QtLayer() override {
    closeEverything();
    ReleaseUnloadedForms(st);
  }

  // Shows the form modally, running `script` from inside its showing.
  void showWith(Form& shown, std::function<void()> script) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
      ADD_FAILURE() << "the dialog did not end";
      closeEverything();
    });
    watchdog.start(20000);
    QTimer::singleShot(0, std::move(script));
    layer->ShowModal(shown);
  }

  template <class W = QWidget>
  W* widget(const Form& of, const char* name) {
    QDialog* dialog = layer->WindowOf(of);
    return dialog ? dialog->findChild<W*>(name) : nullptr;
  }
  void click(const Form& of, const char* name) { QTest::mouseClick(widget(of, name), Qt::LeftButton); }

  std::shared_ptr<QtWindowing> layer = testing_support::sharedQtLayer();
  std::ostringstream log;
  ImportState st;
  TestForm& form = Instance<TestForm>(st);
};

// Typing, clicks and double clicks reach the handlers with the form's data
// already up to date; the widgets follow what a handler changed, so a
// button it disabled fires nothing.
TEST_F(QtLayer, WhatTheUserDoesReachesTheHandlersWithTheDataUpToDate) {
  std::vector<int> flagValues;
  int listIndex = -1;
  form.onFire = [&](const std::string& control, FormEvent event, int) {
    if (control == "chkFlag") flagValues.push_back(form["chkFlag"].Value);
    if (control == "listItems") listIndex = form["listItems"].ListIndex;
    if (control != "cmdGo" || event != FormEvent::Click) return;
    form["cmdGo"].Enabled = false;
    form["cmdOff"].Enabled = true;
    form["lblName"].Caption = "Other:";
  };
  QString label;
  showWith(form, [&] {
    QTest::keyClicks(widget<QLineEdit>(form, "txtName"), "ab");
    for (const char* control : {"chkFlag", "chkFlag", "cmdGo", "cmdGo", "cmdOff"}) click(form, control);
    label = widget<QLabel>(form, "lblName")->text();
    auto* list = widget<QListWidget>(form, "listItems");
    const QPoint row1 = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row1);
    layer->Hide(form);
  });
  std::vector<std::string> changed;
  for (std::size_t i = 0; i < form.fired.size(); ++i)
    if (form.fired[i] == Fired{"txtName", FormEvent::Change, 0}) changed.push_back(form.texts[i]);
  EXPECT_EQ(changed, (std::vector<std::string>{"a", "ab"}));
  // Each key is first a key code, then a character.
  const auto keys = form.firedFor("txtName");
  ASSERT_GE(keys.size(), 2u);
  EXPECT_EQ(std::vector<Fired>(keys.begin(), keys.begin() + 2),
            (std::vector<Fired>{{"txtName", FormEvent::KeyDown, 65}, {"txtName", FormEvent::KeyPress, 'a'}}));
  EXPECT_EQ(flagValues, (std::vector<int>{1, 0}));
  EXPECT_EQ(form.firedFor("cmdGo").size() + form.firedFor("cmdOff").size(), 2u);
  EXPECT_EQ(label, "Other:");
  EXPECT_EQ(form.firedFor("listItems"),
            (std::vector<Fired>{{"listItems", FormEvent::Click, 0}, {"listItems", FormEvent::DblClick, 0}}));
  EXPECT_EQ(listIndex, 1);
}

// Escape reaches a key-preview form before its control, else only the
// focused control, and closes nothing.
TEST_F(QtLayer, EscapeReachesAKeyPreviewFormBeforeItsControlAndClosesNothing) {
  for (const bool preview : {true, false}) {
    form.fired.clear();
    form.KeyPreview = preview;
    showWith(form, [&] {
      QTest::keyClick(widget(form, "listItems"), Qt::Key_Escape);
      EXPECT_TRUE(layer->WindowOf(form) && layer->WindowOf(form)->isVisible());
      layer->Hide(form);
    });
    std::vector<Fired> expected = {{"", FormEvent::KeyDown, vbKeyEscape},
                                   {"listItems", FormEvent::KeyDown, vbKeyEscape},
                                   {"", FormEvent::KeyPress, 27},
                                   {"listItems", FormEvent::KeyPress, 27}};
    if (!preview) std::erase_if(expected, [](const Fired& f) { return std::get<0>(f).empty(); });
    EXPECT_EQ(form.fired, expected) << preview;
  }
}

// Enter presses the focused button, else the form's default button when it
// is enabled; a form without one has Enter press nothing.
TEST_F(QtLayer, EnterPressesTheFocusedButtonElseTheDefaultButton) {
  const struct {
    bool isDefault, enabled;
    const char* focus;
    int clicks;
  } cases[] = {{false, true, "txtName", 0},
               {true, true, "listItems", 1},
               {true, false, "listItems", 0},
               {false, true, "cmdGo", 1}};
  for (const auto& c : cases) {
    form.fired.clear();
    form["cmdGo"].Default = c.isDefault;
    form["cmdGo"].Enabled = c.enabled;
    showWith(form, [&] {
      QWidget* focused = widget<QWidget>(form, c.focus);
      focused->setFocus();
      QTest::keyClick(focused, Qt::Key_Return);
      layer->Hide(form);
    });
    EXPECT_EQ(std::count(form.fired.begin(), form.fired.end(), Fired{"cmdGo", FormEvent::Click, 0}), c.clicks)
        << c.focus << (c.isDefault ? " default" : "") << (c.enabled ? "" : " disabled");
  }
}

// A handler that hides its form ends the showing and the form stays loaded;
// an error a handler lets out comes out of ShowModal and takes the window
// down; the frame's close button asks the form and runs no handler.
TEST_F(QtLayer, AHandlerAnErrorOrTheFrameEndsTheDialog) {
  form.onClick("cmdGo", [&] { st.host.windowing->Hide(form); });
  showWith(form, [&] { click(form, "cmdGo"); });
  EXPECT_EQ(Loaded<TestForm>(st), &form);
  EXPECT_EQ(layer->WindowOf(form), nullptr);

  form.onClick("cmdGo", [] { Raise(5, "Invalid procedure call or argument"); });
  EXPECT_THROW(showWith(form, [&] { click(form, "cmdGo"); }), VbError);
  EXPECT_EQ(layer->WindowOf(form), nullptr);

  form.fired.clear();
  showWith(form, [&] { layer->WindowOf(form)->close(); });
  EXPECT_TRUE(form.frameClosed);
  EXPECT_EQ(Loaded<TestForm>(st), nullptr);
  EXPECT_TRUE(form.fired.empty());
}

TEST_F(QtLayer, MsgBoxReturnsTheClickedAnswer) {
  const struct {
    std::string text, title, detail;
    MsgBoxButtons buttons;
    QMessageBox::StandardButton click;
    MsgBoxResult answer;
    QString shown;  // the title, the text and the detail as the box shows them
  } cases[] = {
      {"Done.\r\nPrint?", "Report", "", MsgBoxButtons::YesNo, QMessageBox::No, MsgBoxResult::No,
       "Report|Done.\nPrint?|"},
      {"Note.", "", "/data/form.chk", MsgBoxButtons::OKCancel, QMessageBox::Ok, MsgBoxResult::OK,
       "chkimport|Note.|/data/form.chk"},
  };
  for (const auto& c : cases) {
    whenModal("MsgBox", [&](QWidget* w) {
      auto* box = static_cast<QMessageBox*>(w);
      EXPECT_EQ(box->windowTitle() + "|" + box->text() + "|" + box->informativeText(), c.shown);
      QTest::mouseClick(box->button(c.click), Qt::LeftButton);
    });
    EXPECT_EQ(layer->MsgBox(c.text, c.buttons, c.title, c.detail), c.answer) << c.text;
  }
}

TEST_F(QtLayer, AskActionShowsTheErrorAndTheRoutinesInnermostFirst) {
  whenModal("AskAction", [&](QWidget* w) {
    auto* box = static_cast<QMessageBox*>(w);
    EXPECT_EQ(box->text() + "|" + box->informativeText(),
              "Error 53: File not found|In TranslateCode, ImportCHKCode\ncalled from cmdOK_Click, frmImport");
    QTest::mouseClick(box->findChild<QPushButton*>("C"), Qt::LeftButton);
  });
  EXPECT_EQ(
      layer->AskAction(53, "File not found", {"cmdOK_Click, frmImport", "TranslateCode, ImportCHKCode"}),
      "C");
  whenModal("AskAction", [&](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  EXPECT_EQ(layer->AskAction(5, "Invalid procedure call or argument", {}), "D");
}

TEST_F(QtLayer, ShowTextShowsTheTextReadOnlyUntilClosed) {
  bool shown = false;  // ShowText returns nothing that would tell
  whenModal("ShowText", [&](QWidget* w) {
    shown = true;
    auto* view = w->findChild<QPlainTextEdit*>("text");
    QTest::keyClicks(view, "typed");
    EXPECT_EQ(w->windowTitle() + "|" + view->toPlainText(), "Preview|+line 1\n+line 2\n");
    QTest::mouseClick(w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close), Qt::LeftButton);
  });
  layer->ShowText("Preview", "+line 1\n+line 2\n");
  EXPECT_TRUE(shown);
}

// The filter's bar-separated pairs become Qt's filters.
TEST_F(QtLayer, ShowOpenStartsAtTheGivenFileAndReturnsTheChoiceOrNothing) {
  TempDir dir;
  const std::string chk = dir.write("FORM.CHK", "AGE\r\n");
  whenModal("ShowOpen", [&](QWidget* w) {
    auto* dialog = static_cast<QFileDialog*>(w);
    EXPECT_EQ(dialog->selectedFiles(), QStringList{QString::fromStdString(chk)});
    EXPECT_EQ(dialog->nameFilters(), (QStringList{"Check Files (*.chk)", "All Files (*)"}));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  EXPECT_EQ(layer->ShowOpen(chk, "Check Files (*.chk)|*.chk|All Files (*.*)|*.*"), chk);

  whenModal("ShowOpen", [&](QWidget* w) { static_cast<QFileDialog*>(w)->reject(); });
  EXPECT_EQ(layer->ShowOpen(chk, "Check Files (*.chk)|*.chk"), std::nullopt);
}

// Saving is a save dialog, and a file that exists is replaced only when the
// user says yes.
TEST_F(QtLayer, ShowSaveAsksBeforeAFileIsReplaced) {
  TempDir dir;
  const std::string report = dir.write("Form.txt", "old");
  std::vector<QString> questions;
  auto answer = [&](QMessageBox::StandardButton choice) {
    whenModal("", [&, choice](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      questions.push_back(box->text());
      QTest::mouseClick(box->button(choice), Qt::LeftButton);
    });
  };
  whenModal("ShowSave", [&](QWidget* w) {
    auto* dialog = static_cast<QFileDialog*>(w);
    EXPECT_EQ(dialog->windowTitle() + "|" + dialog->labelText(QFileDialog::Accept), "Save the report|&Save");
    answer(QMessageBox::No);
    QMetaObject::invokeMethod(dialog, "accept");
    // Still up after the No: the same file is asked about again.
    answer(QMessageBox::Yes);
    QMetaObject::invokeMethod(dialog, "accept");
  });
  EXPECT_EQ(layer->ShowSave(report, "Text Files (*.txt)|*.txt", "Save the report"), report);
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_NE(questions[0].indexOf("already exists"), -1) << questions[0].toStdString();
}

// A program that could not start, or that ends at once saying it failed,
// is reported.
TEST_F(QtLayer, StartProgramRunsTheProgramAndSaysWhetherItRuns) {
  TempDir dir;
  EXPECT_TRUE(layer->StartProgram({"sleep", "3"}));
  EXPECT_FALSE(layer->StartProgram({"false"}));
  EXPECT_FALSE(layer->StartProgram({dir.file("no such program")}));
}

}  // namespace
}  // namespace chkimport
