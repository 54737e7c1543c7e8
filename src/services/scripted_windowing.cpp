#include "services/scripted_windowing.h"

#include <stdexcept>

#include "services/form.h"

namespace chkimport {
namespace {

const char* buttonsName(MsgBoxButtons buttons) {
  switch (buttons) {
    case MsgBoxButtons::OKOnly:
      return "OK";
    case MsgBoxButtons::OKCancel:
      return "OKCancel";
    case MsgBoxButtons::YesNo:
      return "YesNo";
  }
  return "?";
}

}  // namespace

void ScriptedWindowing::scriptError(const std::string& what) {
  errors_.push_back(what);
  throw std::logic_error("script: " + what);
}

void ScriptedWindowing::OnShow(const std::string& formName, UserActions actions) {
  actions_[formName].push_back(std::move(actions));
}

void ScriptedWindowing::ShowModal(Form& form) {
  shown_.push_back("show " + form.Name);
  auto& queue = actions_[form.Name];
  if (queue.empty()) scriptError("nothing queued for " + form.Name);
  UserActions actions = std::move(queue.front());
  queue.pop_front();
  showing_.insert(&form);
  actions(form);
  // A real dialog would wait for the user; a script that left it open has
  // no user to wait for.
  if (showing_.erase(&form)) scriptError(form.Name + " was left open");
}

void ScriptedWindowing::Hide(Form& form) {
  showing_.erase(&form);
}

void ScriptedWindowing::Unloaded(Form& form) {
  showing_.erase(&form);
}

void ScriptedWindowing::Refresh(Form&) {}

MsgBoxResult ScriptedWindowing::MsgBox(const std::string& prompt, MsgBoxButtons buttons,
                                       const std::string& title, const std::string& detail) {
  shown_.push_back(std::string("msgbox [") + buttonsName(buttons) + "] " + title + ": " + prompt +
                   (detail.empty() ? "" : " | " + detail));
  if (msgBoxAnswers_.empty()) scriptError("no answer queued for: " + prompt);
  const MsgBoxResult answer = msgBoxAnswers_.front();
  msgBoxAnswers_.pop_front();
  return answer;
}

std::optional<std::string> ScriptedWindowing::ShowSave(const std::string& fileName, const std::string& filter,
                                                       const std::string& title) {
  shown_.push_back("save [" + filter + "] " + title + ": " + fileName);
  if (fileAnswers_.empty()) scriptError("no file queued for the file dialog");
  auto answer = std::move(fileAnswers_.front());
  fileAnswers_.pop_front();
  return answer;
}

std::optional<std::string> ScriptedWindowing::ShowOpen(const std::string& fileName,
                                                       const std::string& filter) {
  shown_.push_back("open [" + filter + "] " + fileName);
  if (fileAnswers_.empty()) scriptError("no file queued for the file dialog");
  auto answer = std::move(fileAnswers_.front());
  fileAnswers_.pop_front();
  return answer;
}

std::string ScriptedWindowing::AskAction(int32_t number, const std::string& description,
                                         const std::vector<std::string>& labels) {
  shown_.push_back("action " + std::to_string(number) + ": " + description +
                   (labels.empty() ? std::string() : " in " + labels.back()));
  if (actionAnswers_.empty()) scriptError("no answer queued for error " + std::to_string(number));
  const std::string answer = actionAnswers_.front();
  actionAnswers_.pop_front();
  return answer;
}

bool ScriptedWindowing::StartProgram(const std::vector<std::string>& argv) {
  std::string line = "start";
  for (const auto& arg : argv) line += " " + arg;
  shown_.push_back(line);
  return programsStart_;
}

void ScriptedWindowing::ShowText(const std::string& title, const std::string& text) {
  shown_.push_back("text " + title);
  texts_.push_back(text);
}

}  // namespace chkimport
