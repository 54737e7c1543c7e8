// A windowing system without windows, for tests: it plays back the answers
// and user actions a test queued, in order, and records everything it was
// asked to show.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "services/windowing.h"

namespace chkimport {

class ScriptedWindowing : public Windowing {
 public:
  // What the user does while a form is shown; it should end with the form
  // hidden or unloaded.
  using UserActions = std::function<void(Form& form)>;

  // Queues the actions for the next showing of the named form.
  void OnShow(const std::string& formName, UserActions actions);
  void Answer(MsgBoxResult answer) { msgBoxAnswers_.push_back(answer); }
  // Queues the file the user picks in the next file dialog; nothing: cancel.
  void Choose(std::optional<std::string> file) { fileAnswers_.push_back(std::move(file)); }
  void AnswerAction(const std::string& letter) { actionAnswers_.push_back(letter); }
  // Whether programs the dialogs start start (true unless a test says not).
  void ProgramsStart(bool start) { programsStart_ = start; }

  // What was shown, one entry each: "show frmImport", "msgbox [YesNo] title: prompt"
  // (and " | detail" when there is one), "open [filter] file", "save [filter] title: file",
  // "action 9: description", "start argv0 argv1 ...", "text title" (the text
  // itself is in Texts()).
  const std::vector<std::string>& Shown() const { return shown_; }
  // Where the component went off the script: a dialog or question nothing
  // was queued for, or a dialog the actions left open. The component may
  // take the failure as one of its own errors, so tests check this list.
  const std::vector<std::string>& ScriptErrors() const { return errors_; }
  // The texts ShowText showed, in order.
  const std::vector<std::string>& Texts() const { return texts_; }

  void ShowModal(Form& form) override;
  void Hide(Form& form) override;
  void Unloaded(Form& form) override;
  void Refresh(Form& form) override;
  MsgBoxResult MsgBox(const std::string& prompt, MsgBoxButtons buttons, const std::string& title,
                      const std::string& detail) override;
  std::optional<std::string> ShowOpen(const std::string& fileName, const std::string& filter) override;
  std::optional<std::string> ShowSave(const std::string& fileName, const std::string& filter,
                                      const std::string& title) override;
  std::string AskAction(int32_t number, const std::string& description,
                        const std::vector<std::string>& labels) override;
  bool StartProgram(const std::vector<std::string>& argv) override;
  void ShowText(const std::string& title, const std::string& text) override;

 private:
  [[noreturn]] void scriptError(const std::string& what);

  std::vector<std::string> errors_;
  std::map<std::string, std::deque<UserActions>> actions_;
  std::deque<MsgBoxResult> msgBoxAnswers_;
  std::deque<std::optional<std::string>> fileAnswers_;
  std::deque<std::string> actionAnswers_;
  bool programsStart_ = true;
  std::vector<std::string> shown_;
  std::vector<std::string> texts_;
  std::set<const Form*> showing_;
};

}  // namespace chkimport
