#include "core/import_state.h"

#include <iostream>

namespace chkimport {

std::string ImportState::T(const std::string& text) {
  if (!objLanguage) Raise(vberr::ObjectNotSet, "Object variable or With block variable not set");
  return objLanguage->T(text);
}

std::string ImportState::codeText(const char* text, std::size_t size) {
  const std::string_view english(text, size);
  if (!passTextsOn) return T(std::string(english));
  // The text is compared too: an array of the caller's may have changed.
  if (auto kept = passTexts.find(text); kept != passTexts.end() && kept->second.english == english)
    return kept->second.translation;
  std::string translation = T(std::string(english));
  passTexts[text] = {std::string(english), translation};
  return translation;
}

std::ostream& ImportState::errorLog() {
  return host.errorLog ? *host.errorLog : std::cerr;
}

void ImportState::ReportProgress() {
  if (host.progress) host.progress(passCounts);
}

std::string ImportState::AnswerAction(int32_t number, const std::string& description,
                                      const std::string& suggested, const std::vector<std::string>& labels) {
  errorsMet.push_back({number, description, {labels.rbegin(), labels.rend()}});
  if (host.actionPolicy) return host.actionPolicy(number, description, suggested, labels);
  if (blnDialogsShown && host.windowing) return host.windowing->AskAction(number, description, labels);
  return suggested;
}

Windowing& ImportState::windowing() {
  if (!host.windowing) Raise(vberr::CannotCreateObject, "No windowing system is available for the dialogs");
  return *host.windowing;
}

void ImportState::MsgBox(const std::string& text) {
  if (host.windowing)
    host.windowing->MsgBox(text, MsgBoxButtons::OKOnly, "", "");
  else
    errorLog() << text << "\n";
}

int16_t ImportState::FreeFile() const {
  for (int16_t n = 1; n <= 255; ++n)
    if (!Files.count(n)) return n;
  Raise(67, "Too many files");
}

void ImportState::OpenInput(int16_t number, const std::string& path) {
  if (number < 1 || number > 255) Raise(vberr::BadFileNameOrNumber, "Bad file name or number");
  if (Files.count(number)) Raise(55, "File already open");
  Files[number] = LineReader::Open(path, host.encoding);
}

LineReader& ImportState::findFile(int16_t number) {
  auto it = Files.find(number);
  if (it == Files.end()) Raise(vberr::BadFileNameOrNumber, "Bad file name or number");
  lastFileNumber = number;
  lastFile = it->second.get();
  return *lastFile;
}

void ImportState::Close(int16_t number) {
  if (number == lastFileNumber) lastFile = nullptr;
  Files.erase(number);
}

}  // namespace chkimport
