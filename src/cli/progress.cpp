#include "cli/progress.h"

#include <unistd.h>

#include <iostream>

#include "chkimport/translator.h"

namespace chkimport {

ProgressLine::ProgressLine(Translator& tr) : tr_(tr), shown_(isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Draw(const std::string& text) {
  // Back to the start of the line, the old text wiped.
  std::cerr << "\r\x1b[K" << text << std::flush;
  drawn_ = true;
}

void ProgressLine::Form(std::size_t index, std::size_t count, const std::string& name) {
  if (!shown_) return;
  form_ = "chkimport: [" + std::to_string(index) + "/" + std::to_string(count) + "] " + name;
  last_ = {};  // the first count of a form is drawn at once
  Draw(form_);
}

void ProgressLine::Records(long long records) {
  if (!shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < std::chrono::milliseconds(200)) return;
  last_ = now;
  Draw(form_ + ": " + std::to_string(records) + " " + tr_.T("records"));
}

void ProgressLine::Clear() {
  if (!drawn_) return;
  std::cerr << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

}  // namespace chkimport
