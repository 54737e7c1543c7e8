// What the dialogs need of a windowing system: modal forms, message boxes,
// the file dialog, the error question, starting a viewer, and showing a
// text. One layer
// draws real windows; a scripted one plays back a test's answers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace chkimport {

class Form;

enum class MsgBoxButtons { OKOnly, OKCancel, YesNo };
enum class MsgBoxResult { OK, Cancel, Yes, No };

class Windowing {
 public:
  virtual ~Windowing() = default;

  // Shows the form modally; returns once the form is hidden or unloaded.
  virtual void ShowModal(Form& form) = 0;
  // Hides a form: a modal showing of it ends.
  virtual void Hide(Form& form) = 0;
  // The form is being unloaded: its window goes away, a modal showing ends.
  virtual void Unloaded(Form& form) = 0;
  // The form's data changed outside an event of this layer; a shown window
  // brings itself up to date.
  virtual void Refresh(Form& form) = 0;

  // An empty title means the program's name. A detail, when there is one,
  // stands under the prompt (the path a message is about, say).
  virtual MsgBoxResult MsgBox(const std::string& prompt, MsgBoxButtons buttons, const std::string& title,
                              const std::string& detail) = 0;

  // The Open file dialog. `filter` pairs descriptions and patterns with "|",
  // as "Check Files (*.chk)|*.chk|All Files (*.*)|*.*". Returns the chosen
  // file, or nothing when the user cancelled.
  virtual std::optional<std::string> ShowOpen(const std::string& fileName, const std::string& filter) = 0;
  // The same dialog for a file to be written, under the title given: its
  // button saves, and a file that exists is replaced only when the user
  // says so.
  virtual std::optional<std::string> ShowSave(const std::string& fileName, const std::string& filter,
                                              const std::string& title) = 0;

  // How a failing routine goes on, asked of the user: "A" retry, "B" ignore,
  // "C" close every dialog, "D" leave the routine.
  virtual std::string AskAction(int32_t number, const std::string& description,
                                const std::vector<std::string>& labels) = 0;

  // Starts a program without waiting for it; never through a shell. False
  // when it could not be started or ended at once saying it failed (a
  // desktop opener that knows no program for the file).
  virtual bool StartProgram(const std::vector<std::string>& argv) = 0;

  // A long text in a modal window that only shows it: read-only, scrolled,
  // in a fixed-width face, closed by its Close button.
  virtual void ShowText(const std::string& title, const std::string& text) = 0;
};

}  // namespace chkimport
