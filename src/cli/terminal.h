// What the program does differently on a terminal: colour, the width help
// wraps at, and a progress line for work that takes a while.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace chkimport::cli {

bool IsTerminal(int fd);

// The columns of the terminal on `fd`; else $COLUMNS; else 80.
std::size_t TerminalWidth(int fd);

// --color: auto (the default), always or never.
enum class ColourMode { Auto, Always, Never };
// "auto", "always", "never"; nothing for any other word.
std::optional<ColourMode> ParseColourMode(const std::string& word);
// Whether output on `fd` is coloured: always, never, or on a terminal
// (not TERM=dumb) unless NO_COLOR is set and not empty.
bool ColourFor(ColourMode mode, int fd);

// One line on standard error that says how far a long piece of work has
// come, rewritten in place. It appears only on a terminal and only once
// the work has run `after` (about a second; CHKIMPORT_PROGRESS_AFTER, in
// seconds, changes it), is redrawn at most ten times a second, and goes
// away when the work ends (Clear, or the end of its life), leaving the
// terminal as it was.
class ProgressLine {
 public:
  explicit ProgressLine(bool enabled);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // The work's state now, `text()` making it: called only when the line is
  // drawn, at most every tenth of a second, and never when stderr is not a
  // terminal, as under a script.
  template <class Text>
  void Update(Text&& text) {
    if (due()) draw(text());
  }
  void Clear();

 private:
  bool due();
  void draw(std::string line);

  bool enabled_;
  std::chrono::steady_clock::time_point start_, drawn_;
  std::chrono::milliseconds after_;
  std::size_t shown_ = 0;  // columns of the line on the screen
};

// Cuts `text` into lines of at most `width` columns at blanks (a word
// longer than that stands on a line of its own); "\n" in the text starts a
// new line. Columns are characters of UTF-8.
std::string Wrap(const std::string& text, std::size_t width);

}  // namespace chkimport::cli
