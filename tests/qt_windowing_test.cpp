// The Qt layer driven through its real widgets on the offscreen platform:
// what the user does reaches the form's handlers, the widgets follow the
// form's data, and the form's handlers alone decide when a dialog ends.
#include "gui/qt_windowing.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
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
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>

#include "chkimport/vb_error.h"
#include "core/import_state.h"
#include "dialogs/forms.h"
#include "qt_support.h"
#include "test_support.h"

namespace chkimport {
namespace {

using testing_support::TempDir;

using testing_support::sharedQtLayer;

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

struct Fired {
  std::string control;
  FormEvent event;
  int arg;
  bool operator==(const Fired&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Fired& f) {
  return os << "(" << f.control << ", " << static_cast<int>(f.event) << ", " << f.arg << ")";
}

// A control placed at `left`, `top`, `width` and `height` (in twips).
Control at(Control c, int left, int top, int width, int height) {
  c.Left = left;
  c.Top = top;
  c.Width = width;
  c.Height = height;
  return c;
}

// A dialog of every kind of control; it records what it is told and runs
// the handler a test gives it.
class TestForm : public Form {
 public:
  explicit TestForm(ImportState& state, const std::string& name = "frmTest") : Form(state, name) {
    Caption = "Test form";
    ClientWidth = 4500;
    ClientHeight = 3000;
    using enum ControlKind;
    add(at({.Name = "lblName", .Kind = Label, .Caption = "&Name:", .TabIndex = 5}, 120, 120, 1200, 255));
    add(at({.Name = "txtName", .Kind = TextBox, .ToolTipText = "The name", .TabIndex = 0}, 1440, 120, 2895,
           285));
    add(at({.Name = "chkFlag", .Kind = CheckBox, .Caption = "&Flag", .TabIndex = 1}, 120, 600, 2000, 255));
    add(at({.Name = "cmdGo", .Kind = CommandButton, .Caption = "&Go", .TabIndex = 2}, 3240, 2460, 1095, 375));
    add(at({.Name = "listItems", .Kind = ListBox, .TabIndex = 3, .List = {"alpha", "beta", "gamma"}}, 120,
           960, 2895, 1400));
    add(at({.Name = "cmdOff", .Kind = CommandButton, .Caption = "Off", .TabIndex = 4, .Enabled = false}, 120,
           2460, 1095, 375));
    add({.Name = "dlgOpen", .Kind = ControlKind::CommonDialog, .Visible = false});
  }

  void Fire(const std::string& control, FormEvent event, int arg) override {
    fired.push_back({control, event, arg});
    texts.push_back((*this)["txtName"].Text);
    indexes.push_back((*this)["listItems"].ListIndex);
    if (onFire) onFire(control, event, arg);
  }
  void FrameClosed() override {
    frameClosed = true;
    Form::FrameClosed();
  }

  std::vector<Fired> fired;
  std::vector<std::string> texts;  // txtName's text as each event came
  std::vector<int> indexes;        // listItems' ListIndex as each event came
  std::function<void(const std::string&, FormEvent, int)> onFire;
  // Runs `action` when `control` is clicked.
  void onClick(const std::string& control, std::function<void()> action) {
    onFire = [=](const std::string& c, FormEvent e, int) {
      if (c == control && e == FormEvent::Click) action();
    };
  }
  bool frameClosed = false;

  std::vector<Fired> firedFor(const std::string& control) const {
    std::vector<Fired> result;
    for (const auto& f : fired)
      if (f.control == control) result.push_back(f);
    return result;
  }
};

class InnerForm : public TestForm {
 public:
  explicit InnerForm(ImportState& state) : TestForm(state, "frmInner") {}
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

  std::shared_ptr<QtWindowing> layer = sharedQtLayer();
  std::ostringstream log;
  ImportState st;
  TestForm& form = Instance<TestForm>(st);
};

// Typing, clicks and double clicks reach the handlers with the form's data
// already up to date; a button a handler disabled fires nothing.
TEST_F(QtLayer, WhatTheUserDoesReachesTheHandlersWithTheDataUpToDate) {
  std::vector<int> flagValues;
  form.onFire = [&](const std::string& control, FormEvent event, int) {
    if (control == "chkFlag") flagValues.push_back(form["chkFlag"].Value);
    if (control != "cmdGo" || event != FormEvent::Click) return;
    form["cmdGo"].Enabled = false;
    form["cmdOff"].Enabled = true;
  };
  showWith(form, [&] {
    QTest::keyClicks(widget<QLineEdit>(form, "txtName"), "ab");
    for (const char* control : {"chkFlag", "chkFlag", "cmdGo", "cmdGo", "cmdOff"}) click(form, control);
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
  EXPECT_EQ(keys[0], (Fired{"txtName", FormEvent::KeyDown, 65}));
  EXPECT_EQ(keys[1], (Fired{"txtName", FormEvent::KeyPress, 'a'}));
  EXPECT_EQ(flagValues, (std::vector<int>{1, 0}));
  EXPECT_EQ(form.firedFor("cmdGo").size() + form.firedFor("cmdOff").size(), 2u);
  EXPECT_EQ(form.firedFor("listItems"),
            (std::vector<Fired>{{"listItems", FormEvent::Click, 0}, {"listItems", FormEvent::DblClick, 0}}));
  EXPECT_EQ(form.indexes.back(), 1);
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
    if (!preview) std::erase_if(expected, [](const Fired& f) { return f.control.empty(); });
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
               {true, true, "txtName", 1},
               {true, true, "listItems", 1},
               {true, false, "listItems", 0},
               {false, true, "cmdGo", 1}};
  for (const auto& c : cases) {
    form.fired.clear();
    form["cmdGo"].Default = c.isDefault;
    form["cmdGo"].Enabled = c.enabled;
    form["listItems"].ListIndex = 1;
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

TEST_F(QtLayer, AHandlerThatHidesTheFormEndsShowModalAndTheFormStaysLoaded) {
  form.onClick("cmdGo", [&] { st.host.windowing->Hide(form); });
  showWith(form, [&] { click(form, "cmdGo"); });
  EXPECT_EQ(Loaded<TestForm>(st), &form);
  EXPECT_EQ(layer->WindowOf(form), nullptr);
}

TEST_F(QtLayer, AFormUnloadedByItsOwnKeyHandlerEndsAndItsControlHearsNoMore) {
  form.KeyPreview = true;
  form.onFire = [&](const std::string& control, FormEvent event, int arg) {
    if (control.empty() && event == FormEvent::KeyDown && arg == vbKeyEscape) Unload(st, form);
  };
  showWith(form, [&] { QTest::keyClick(widget(form, "txtName"), Qt::Key_Escape); });
  EXPECT_EQ(Loaded<TestForm>(st), nullptr);
  EXPECT_EQ(form.fired, (std::vector<Fired>{{"", FormEvent::KeyDown, vbKeyEscape}}));
}

TEST_F(QtLayer, UnloadingEveryFormFromAnInnerDialogEndsBothShowings) {
  auto& inner = Instance<InnerForm>(st);
  bool outerHandlerFinished = false;
  form.onClick("cmdGo", [&] {
    layer->ShowModal(inner);
    outerHandlerFinished = true;
  });
  inner.onClick("cmdGo", [&] {
    // As closing every dialog does: the outer form first.
    Unload(st, form);
    Unload(st, inner);
  });
  whenModal("frmInner", [&](QWidget*) { click(inner, "cmdGo"); });
  showWith(form, [&] { click(form, "cmdGo"); });
  EXPECT_TRUE(outerHandlerFinished);
  EXPECT_TRUE(st.Forms.empty());
  EXPECT_EQ(layer->WindowOf(form), nullptr);
  EXPECT_EQ(layer->WindowOf(inner), nullptr);
}

// Fifteen twips to the pixel, a size the user cannot change, no minimize
// or maximize button; the close button only with ControlBox.
TEST_F(QtLayer, TheWindowHasTheFormsCaptionAndFixedSize) {
  for (const bool controlBox : {true, false}) {
    form.ControlBox = controlBox;
    showWith(form, [&] {
      QDialog* dialog = layer->WindowOf(form);
      EXPECT_EQ(widget(form, "txtName")->geometry(), QRect(96, 8, 193, 19));
      EXPECT_EQ(dialog->windowTitle(), "Test form");
      EXPECT_EQ(dialog->minimumSize(), QSize(300, 200));
      EXPECT_EQ(dialog->maximumSize(), QSize(300, 200));
      const Qt::WindowFlags flags = dialog->windowFlags();
      EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
      EXPECT_EQ(bool(flags & Qt::WindowCloseButtonHint), controlBox);
      layer->Hide(form);
    });
  }
  EXPECT_EQ(layer->Render(form).size(), QSize(300, 200));
}

TEST_F(QtLayer, TheFocusStartsAtTabIndexZeroAndTabFollowsTabIndex) {
  std::vector<QString> visited;
  showWith(form, [&] {
    QDialog* dialog = layer->WindowOf(form);
    for (int i = 0; i < 5; ++i) {
      visited.push_back(dialog->focusWidget() ? dialog->focusWidget()->objectName() : "");
      QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
    }
    layer->Hide(form);
  });
  // The disabled button and the label take no focus; the order wraps.
  EXPECT_EQ(visited, (std::vector<QString>{"txtName", "chkFlag", "cmdGo", "listItems", "txtName"}));
  EXPECT_TRUE(form.fired.empty());
}

TEST_F(QtLayer, ALabelsMnemonicMovesTheFocusToTheNextControlInTabOrder) {
  form["lblName"].TabIndex = 1;
  form["chkFlag"].TabIndex = 2;
  QString focused;
  showWith(form, [&] {
    QDialog* dialog = layer->WindowOf(form);
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
    QTest::keyClick(dialog->focusWidget(), Qt::Key_N, Qt::AltModifier);
    focused = dialog->focusWidget()->objectName();
    layer->Hide(form);
  });
  EXPECT_EQ(focused, "chkFlag");
}

TEST_F(QtLayer, TheFramesCloseButtonAsksTheFormAndRunsNoHandler) {
  showWith(form, [&] { layer->WindowOf(form)->close(); });
  EXPECT_TRUE(form.frameClosed);
  EXPECT_EQ(Loaded<TestForm>(st), nullptr);
  EXPECT_TRUE(form.fired.empty());
}

TEST_F(QtLayer, WidgetsFollowWhatAHandlerChangedWithoutFiringAgain) {
  form.onClick("cmdGo", [&] {
    form.Caption = "Changed";
    form["txtName"].Text = "set by handler";
    form["chkFlag"].Value = 1;
    form["lblName"].Caption = "Other:";
    form["listItems"].List = {"x", "y"};
    form["listItems"].ListIndex = 1;
    form["cmdOff"].Visible = false;
  });
  auto shown = [&] {
    auto* list = widget<QListWidget>(form, "listItems");
    return QStringList{layer->WindowOf(form)->windowTitle(),
                       widget<QLineEdit>(form, "txtName")->text(),
                       widget<QLabel>(form, "lblName")->text(),
                       QString::number(widget<QCheckBox>(form, "chkFlag")->isChecked()),
                       QString::number(list->count()),
                       QString::number(list->currentRow()),
                       QString::number(widget(form, "cmdOff")->isVisible())};
  };
  QStringList afterClick, afterRefresh;
  showWith(form, [&] {
    click(form, "cmdGo");
    afterClick = shown();
    // Data changed outside an event shows after Refresh.
    form["txtName"].Text = "from outside";
    layer->Refresh(form);
    afterRefresh = shown();
    layer->Hide(form);
  });
  EXPECT_EQ(afterClick, (QStringList{"Changed", "set by handler", "Other:", "1", "2", "1", "0"}));
  EXPECT_EQ(afterRefresh[1], "from outside");
  EXPECT_EQ(form.fired, (std::vector<Fired>{{"cmdGo", FormEvent::Click, 0}}));
}

// An error a handler lets out comes out of ShowModal and takes the window
// down; showing a form that is shown is error 400.
TEST_F(QtLayer, ErrorsComeOutOfShowModal) {
  int shownAgain = 0;
  form.onClick("cmdGo", [] { Raise(5, "Invalid procedure call or argument"); });
  try {
    showWith(form, [&] {
      try {
        layer->ShowModal(form);
      } catch (const VbError& e) {
        shownAgain = e.Number;
      }
      click(form, "cmdGo");
    });
    ADD_FAILURE() << "no error";
  } catch (const VbError& e) {
    EXPECT_EQ(e.Number, 5);
  }
  EXPECT_EQ(shownAgain, 400);
  EXPECT_EQ(layer->WindowOf(form), nullptr);
}

TEST_F(QtLayer, MsgBoxReturnsTheClickedAnswer) {
  const struct {
    std::string text, title, detail;
    MsgBoxButtons buttons;
    QMessageBox::StandardButton click;
    MsgBoxResult answer;
    QString shown;  // the title, the text and the detail as the box shows them
  } cases[] = {
      {"Done.\r\nPrint?", "", "", MsgBoxButtons::YesNo, QMessageBox::No, MsgBoxResult::No,
       "chkimport|Done.\nPrint?|"},
      {"View it?", "Report", "", MsgBoxButtons::OKCancel, QMessageBox::Cancel, MsgBoxResult::Cancel,
       "Report|View it?|"},
      {"Note.", "", "/data/form.chk", MsgBoxButtons::OKOnly, QMessageBox::Ok, MsgBoxResult::OK,
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

TEST_F(QtLayer, AMessageFromAHandlerStandsOverItsForm) {
  MsgBoxResult answer = MsgBoxResult::No;
  form.onClick("cmdGo", [&] {
    answer = layer->MsgBox("Sure?", MsgBoxButtons::YesNo, "", "");
    layer->Hide(form);
  });
  whenModal("MsgBox", [&](QWidget* w) {
    EXPECT_EQ(w->parentWidget(), layer->WindowOf(form));
    QTest::mouseClick(static_cast<QMessageBox*>(w)->button(QMessageBox::Yes), Qt::LeftButton);
  });
  showWith(form, [&] { click(form, "cmdGo"); });
  EXPECT_EQ(answer, MsgBoxResult::Yes);
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

TEST_F(QtLayer, ShowTextShowsTheTextReadOnlyInAFixedWidthFaceUntilClosed) {
  std::string text;
  for (int i = 1; i <= 200; ++i) text += "+line " + std::to_string(i) + "\n";
  whenModal("ShowText", [&](QWidget* w) {
    auto* view = w->findChild<QPlainTextEdit*>("text");
    EXPECT_EQ(w->windowTitle(), "Preview");
    QTest::keyClicks(view, "typed");
    EXPECT_EQ(view->toPlainText().toStdString(), text);
    EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());
    EXPECT_GT(view->verticalScrollBar()->maximum(), 0);
    QTest::mouseClick(w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close), Qt::LeftButton);
  });
  layer->ShowText("Preview", text);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
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

// Saving is a save dialog: its title and button say so, and a file that
// exists is replaced only when the user says yes.
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
// is reported; one that runs on is left to itself.
TEST_F(QtLayer, StartProgramRunsTheProgramAndSaysWhetherItRuns) {
  TempDir dir;
  const std::string marker = dir.file("started with a blank");
  EXPECT_TRUE(layer->StartProgram({"touch", marker}));
  EXPECT_TRUE(std::filesystem::exists(marker));
  EXPECT_TRUE(layer->StartProgram({"sleep", "3"}));
  EXPECT_FALSE(layer->StartProgram({"false"}));
  EXPECT_FALSE(layer->StartProgram({dir.file("no such program")}));
}

// The dialogs need DISPLAY, WAYLAND_DISPLAY or the offscreen platform.
TEST(QtDisplay, NoDisplayVariableMeansNoDisplay) {
  const std::pair<const char*, const char*> settings[] = {
      {"", ""}, {"DISPLAY", ":7"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"QT_QPA_PLATFORM", "offscreen"}};
  std::vector<std::string> reasons;
  for (const auto& [name, value] : settings) {
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) unsetenv(variable);
    if (*name) setenv(name, value, 1);
    reasons.push_back(NoDisplayReason());
  }
  // The offscreen platform is the one these tests run on.
  EXPECT_EQ(reasons,
            (std::vector<std::string>{
                "no display: set DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM=offscreen", "", "", ""}));
}

}  // namespace
}  // namespace chkimport
