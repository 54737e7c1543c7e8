// The standard dialogs of the windowing layer: message boxes, the file
// choosers, the error-stack control's question and the text window; and the
// translation of keys and file filters into the form the forms expect.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <map>
#include <thread>

#include "chkimport/vb_error.h"
#include "gui/qt_windowing.h"

namespace chkimport {
namespace {

const char* const kProgramName = "chkimport";

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

int KeyCodeOf(int qtKey, bool keypad) {
  if (keypad) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return 96 + (qtKey - Qt::Key_0);
    switch (qtKey) {
      case Qt::Key_Asterisk:
        return 106;
      case Qt::Key_Plus:
        return 107;
      case Qt::Key_Minus:
        return 109;
      case Qt::Key_Period:
        return 110;
      case Qt::Key_Slash:
        return 111;
      default:
        break;
    }
  }
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) return qtKey;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
  // Shifted characters give the code of their key on a US keyboard.
  static const std::map<int, int> codes = {
      {Qt::Key_Escape, 27},        {Qt::Key_Backspace, 8},    {Qt::Key_Return, 13},
      {Qt::Key_Enter, 13},         {Qt::Key_Space, 32},       {Qt::Key_PageUp, 33},
      {Qt::Key_PageDown, 34},      {Qt::Key_End, 35},         {Qt::Key_Home, 36},
      {Qt::Key_Left, 37},          {Qt::Key_Up, 38},          {Qt::Key_Right, 39},
      {Qt::Key_Down, 40},          {Qt::Key_Print, 42},       {Qt::Key_Insert, 45},
      {Qt::Key_Delete, 46},        {Qt::Key_Pause, 19},       {Qt::Key_Shift, 16},
      {Qt::Key_Control, 17},       {Qt::Key_Alt, 18},         {Qt::Key_CapsLock, 20},
      {Qt::Key_NumLock, 144},      {Qt::Key_ScrollLock, 145}, {Qt::Key_Menu, 93},
      {Qt::Key_Semicolon, 186},    {Qt::Key_Colon, 186},      {Qt::Key_Equal, 187},
      {Qt::Key_Plus, 187},         {Qt::Key_Comma, 188},      {Qt::Key_Less, 188},
      {Qt::Key_Minus, 189},        {Qt::Key_Underscore, 189}, {Qt::Key_Period, 190},
      {Qt::Key_Greater, 190},      {Qt::Key_Slash, 191},      {Qt::Key_Question, 191},
      {Qt::Key_QuoteLeft, 192},    {Qt::Key_AsciiTilde, 192}, {Qt::Key_BracketLeft, 219},
      {Qt::Key_BraceLeft, 219},    {Qt::Key_Backslash, 220},  {Qt::Key_Bar, 220},
      {Qt::Key_BracketRight, 221}, {Qt::Key_BraceRight, 221}, {Qt::Key_Apostrophe, 222},
      {Qt::Key_QuoteDbl, 222},     {Qt::Key_Exclam, 49},      {Qt::Key_At, 50},
      {Qt::Key_NumberSign, 51},    {Qt::Key_Dollar, 52},      {Qt::Key_Percent, 53},
      {Qt::Key_AsciiCircum, 54},   {Qt::Key_Ampersand, 55},   {Qt::Key_Asterisk, 56},
      {Qt::Key_ParenLeft, 57},     {Qt::Key_ParenRight, 48},
  };
  auto it = codes.find(qtKey);
  return it == codes.end() ? 0 : it->second;
}

std::string QtFileFilter(const std::string& filter) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::string result;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    // Patterns are separated by ";"; "*.*" means every file, dotted or not.
    std::string patterns;
    std::size_t from = 0;
    const std::string& list = parts[i + 1];
    for (;;) {
      const std::size_t semi = list.find(';', from);
      std::string pattern = list.substr(from, semi == std::string::npos ? std::string::npos : semi - from);
      pattern.erase(0, pattern.find_first_not_of(' '));
      pattern.erase(pattern.find_last_not_of(' ') + 1);
      if (pattern == "*.*") pattern = "*";
      if (!pattern.empty()) patterns += (patterns.empty() ? "" : " ") + pattern;
      if (semi == std::string::npos) break;
      from = semi + 1;
    }
    // Qt reads the patterns from the description's last parentheses.
    std::string description = parts[i];
    const std::size_t open = description.rfind('(');
    if (open != std::string::npos && description.back() == ')') description.erase(open);
    while (!description.empty() && description.back() == ' ') description.pop_back();
    if (!result.empty()) result += ";;";
    result += (description.empty() ? patterns : description) + " (" + patterns + ")";
  }
  return result;
}

MsgBoxResult QtWindowing::MsgBox(const std::string& prompt, MsgBoxButtons buttons, const std::string& title,
                                 const std::string& detail) {
  syncAll();
  QMessageBox box(parentWindow());
  box.setObjectName("MsgBox");
  box.setWindowTitle(qs(title.empty() ? kProgramName : title));
  box.setTextFormat(Qt::PlainText);
  box.setText(qs(prompt).replace("\r\n", "\n"));
  box.setInformativeText(qs(detail));
  switch (buttons) {
    case MsgBoxButtons::OKOnly:
      box.setStandardButtons(QMessageBox::Ok);
      box.setDefaultButton(QMessageBox::Ok);
      break;
    case MsgBoxButtons::OKCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      break;
    case MsgBoxButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
  }
  box.exec();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
      return MsgBoxResult::OK;
    case QMessageBox::Yes:
      return MsgBoxResult::Yes;
    case QMessageBox::No:
      return MsgBoxResult::No;
    case QMessageBox::Cancel:
      return MsgBoxResult::Cancel;
    default:
      // Closed some other way: the answer that does nothing.
      return buttons == MsgBoxButtons::OKOnly  ? MsgBoxResult::OK
             : buttons == MsgBoxButtons::YesNo ? MsgBoxResult::No
                                               : MsgBoxResult::Cancel;
  }
}

std::optional<std::string> QtWindowing::ShowOpen(const std::string& fileName, const std::string& filter) {
  return fileDialog(false, fileName, filter, "Open");
}

std::optional<std::string> QtWindowing::ShowSave(const std::string& fileName, const std::string& filter,
                                                 const std::string& title) {
  return fileDialog(true, fileName, filter, title);
}

std::optional<std::string> QtWindowing::fileDialog(bool save, const std::string& fileName,
                                                   const std::string& filter, const std::string& title) {
  syncAll();
  QFileDialog dialog(parentWindow(), qs(title));
  dialog.setObjectName(save ? "ShowSave" : "ShowOpen");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // Saving asks before a file that exists is replaced.
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // Any name may be given: the text box takes what the user typed.
  dialog.setFileMode(QFileDialog::AnyFile);
  if (!filter.empty()) dialog.setNameFilter(qs(QtFileFilter(filter)));
  if (!fileName.empty()) {
    const QFileInfo info(QFile::decodeName(fileName.c_str()));
    if (info.isDir()) {
      dialog.setDirectory(info.absoluteFilePath());
    } else {
      dialog.setDirectory(info.absolutePath());
      dialog.selectFile(info.fileName());
    }
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

std::string QtWindowing::AskAction(int32_t number, const std::string& description,
                                   const std::vector<std::string>& labels) {
  syncAll();
  QMessageBox box(parentWindow());
  box.setObjectName("AskAction");
  box.setWindowTitle(kProgramName);
  box.setIcon(QMessageBox::Warning);
  box.setTextFormat(Qt::PlainText);
  box.setText(qs("Error " + std::to_string(number) + ": " + description));
  std::string where;
  for (auto it = labels.rbegin(); it != labels.rend(); ++it)
    where += (it == labels.rbegin() ? "In " : "\ncalled from ") + *it;
  box.setInformativeText(qs(where));
  struct Choice {
    const char* text;
    const char* answer;
    QMessageBox::ButtonRole role;
  };
  const Choice choices[] = {{"&Retry", "A", QMessageBox::AcceptRole},
                            {"&Ignore", "B", QMessageBox::ActionRole},
                            {"&Close all", "C", QMessageBox::DestructiveRole},
                            {"&Leave", "D", QMessageBox::RejectRole}};
  std::map<QAbstractButton*, std::string> answers;
  QPushButton* leave = nullptr;
  for (const Choice& choice : choices) {
    QPushButton* button = box.addButton(choice.text, choice.role);
    button->setObjectName(choice.answer);
    answers[button] = choice.answer;
    leave = button;
  }
  box.setDefaultButton(leave);
  box.setEscapeButton(leave);
  box.exec();
  auto it = answers.find(box.clickedButton());
  return it == answers.end() ? "D" : it->second;
}

bool QtWindowing::StartProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) Raise(5, "Invalid procedure call or argument");
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  // An opener that knows no program for the file says so at once; one that
  // found a program goes on running it, or ends with status 0.
  const QDeadlineTimer watch(1000);
  int status = 0;
  pid_t ended = 0;
  while ((ended = waitpid(child, &status, WNOHANG)) == 0 && !watch.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    QThread::msleep(10);
  }
  if (ended == 0) {
    // Still running: it is left to itself, and reaped when it ends.
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    return true;
  }
  return ended == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void QtWindowing::ShowText(const std::string& title, const std::string& text) {
  syncAll();
  QDialog dialog(parentWindow());
  dialog.setObjectName("ShowText");
  dialog.setWindowTitle(qs(title.empty() ? kProgramName : title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* view = new QPlainTextEdit(&dialog);
  view->setObjectName("text");
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  view->setPlainText(qs(text));
  layout->addWidget(view);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(760, 520);
  dialog.exec();
}

}  // namespace chkimport
