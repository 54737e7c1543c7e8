// The dialogs on screen, drawn with Qt widgets. Any form is rendered from
// its list of controls; what the user does goes to the form's handlers, and
// after every handler the widgets of all shown forms follow the forms' data.
#pragma once

#include <QImage>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "services/screen_windowing.h"
#include "services/windowing.h"

class QDialog;
class QKeyEvent;
class QWidget;

namespace chkimport {

class QtWindowing : public Windowing {
 public:
  // A layer over the program's QApplication, or over one of its own when the
  // program has none. Null, with the reason in `whyNot`, when no display can
  // be used.
  static std::shared_ptr<QtWindowing> Create(std::string& whyNot);
  ~QtWindowing() override;
  QtWindowing(const QtWindowing&) = delete;
  QtWindowing& operator=(const QtWindowing&) = delete;

  // Raises error 400 for a form that is shown already. An error that a
  // handler lets out ends the showing and comes out of here.
  void ShowModal(Form& form) override;
  void Hide(Form& form) override;
  void Unloaded(Form& form) override;
  void Refresh(Form& form) override;

  MsgBoxResult MsgBox(const std::string& prompt, MsgBoxButtons buttons, const std::string& title,
                      const std::string& detail) override;
  // Dialogs named "ShowOpen" and "ShowSave".
  std::optional<std::string> ShowOpen(const std::string& fileName, const std::string& filter) override;
  std::optional<std::string> ShowSave(const std::string& fileName, const std::string& filter,
                                      const std::string& title) override;
  // `labels` are the running routines, innermost last; shown innermost first.
  std::string AskAction(int32_t number, const std::string& description,
                        const std::vector<std::string>& labels) override;
  // Watches the program for a second (the windows go on being drawn): one
  // that could not be started, or that ended in that time with a status
  // other than 0, gives false.
  bool StartProgram(const std::vector<std::string>& argv) override;
  // A dialog of its own named "ShowText": a read-only QPlainTextEdit named
  // "text" over a Close button.
  void ShowText(const std::string& title, const std::string& text) override;

  // The window that shows the form now, or null. Its object name is the
  // form's name and its widgets carry their controls' names.
  QDialog* WindowOf(const Form& form) const;
  // The form's client area as it would look shown, without showing it.
  QImage Render(Form& form);

 private:
  struct App;
  struct Window;
  friend class FormDialog;
  explicit QtWindowing(std::shared_ptr<App> app);

  Window* find(const Form& form) const;
  QWidget* parentWindow() const;
  void build(Window& window, QWidget* parent);
  void sync(Window& window);
  void syncAll();
  void end(Window& window);
  // Runs what the user did to the form, then brings the widgets of every
  // shown form up to date.
  template <class F>
  void userEvent(Window& window, F&& action);
  // A key for a control ("" for the form); true when the form went away.
  bool keyPress(Window& window, const std::string& control, const QKeyEvent& event);
  void frameClosed(Window& window);
  // A file dialog for opening or saving.
  std::optional<std::string> fileDialog(bool save, const std::string& fileName, const std::string& filter,
                                        const std::string& title);

  std::shared_ptr<App> app_;    // null when the program owns the QApplication
  std::vector<Window*> shown_;  // innermost last
};

// A file filter of the form "Check Files (*.chk)|*.chk|All Files (*.*)|*.*"
// in Qt's form, "Check Files (*.chk);;All Files (*)".
std::string QtFileFilter(const std::string& filter);

// The key code a handler's KeyDown receives for a Qt key, 0 for none.
int KeyCodeOf(int qtKey, bool keypad);

}  // namespace chkimport
