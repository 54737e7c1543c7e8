#include "cli/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>

namespace chkimport::cli {
namespace {

std::size_t columns(const std::string& text) {
  std::size_t n = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

std::chrono::milliseconds progressDelay() {
  if (const char* seconds = std::getenv("CHKIMPORT_PROGRESS_AFTER"); seconds && *seconds) {
    char* end = nullptr;
    const double value = std::strtod(seconds, &end);
    if (end && *end == '\0' && value >= 0)
      return std::chrono::milliseconds(static_cast<long long>(value * 1000));
  }
  return std::chrono::seconds(1);
}

}  // namespace

bool IsTerminal(int fd) {
  return isatty(fd) == 1;
}

std::size_t TerminalWidth(int fd) {
  winsize size{};
  if (IsTerminal(fd) && ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* given = std::getenv("COLUMNS"); given && *given) {
    char* end = nullptr;
    const long value = std::strtol(given, &end, 10);
    if (end && *end == '\0' && value > 0) return static_cast<std::size_t>(value);
  }
  return 80;
}

std::optional<ColourMode> ParseColourMode(const std::string& word) {
  if (word == "auto") return ColourMode::Auto;
  if (word == "always") return ColourMode::Always;
  if (word == "never") return ColourMode::Never;
  return std::nullopt;
}

bool ColourFor(ColourMode mode, int fd) {
  if (mode != ColourMode::Auto) return mode == ColourMode::Always;
  const char* noColour = std::getenv("NO_COLOR");
  const char* term = std::getenv("TERM");
  if (noColour && *noColour) return false;
  if (term && std::strcmp(term, "dumb") == 0) return false;
  return IsTerminal(fd);
}

ProgressLine::ProgressLine(bool enabled)
    : enabled_(enabled && IsTerminal(STDERR_FILENO)),
      start_(std::chrono::steady_clock::now()),
      after_(progressDelay()) {}

ProgressLine::~ProgressLine() {
  Clear();
}

bool ProgressLine::due() {
  if (!enabled_) return false;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < after_) return false;
  if (shown_ > 0 && now - drawn_ < std::chrono::milliseconds(100)) return false;
  drawn_ = now;
  return true;
}

void ProgressLine::draw(std::string line) {
  // Never wider than the terminal: a line that wraps cannot be rewritten.
  const std::size_t width = TerminalWidth(STDERR_FILENO);
  while (columns(line) >= width && !line.empty()) {
    do line.pop_back();
    while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80);
  }
  std::cerr << '\r' << line;
  const std::size_t nowShown = columns(line);
  if (nowShown < shown_) std::cerr << std::string(shown_ - nowShown, ' ') << '\r' << line;
  std::cerr << std::flush;
  shown_ = nowShown;
}

void ProgressLine::Clear() {
  if (shown_ == 0) return;
  std::cerr << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
  shown_ = 0;
}

std::string Wrap(const std::string& text, std::size_t width) {
  if (width < 10) width = 10;
  std::string out;
  std::istringstream paragraphs(text);
  bool firstParagraph = true;
  for (std::string paragraph; std::getline(paragraphs, paragraph);) {
    if (!firstParagraph) out += '\n';
    firstParagraph = false;
    std::istringstream words(paragraph);
    std::size_t used = 0;
    for (std::string word; words >> word;) {
      const std::size_t length = columns(word);
      if (used > 0 && used + 1 + length > width) {
        out += '\n';
        used = 0;
      }
      if (used > 0) {
        out += ' ';
        ++used;
      }
      out += word;
      used += length;
    }
  }
  return out;
}

}  // namespace chkimport::cli
