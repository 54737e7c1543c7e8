// A progress line on a terminal: which form of how many, and how many
// records have gone in, rewritten in place on standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace chkimport {

class Translator;

class ProgressLine {
 public:
  // Shown only when standard error is a terminal.
  explicit ProgressLine(Translator& tr);
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  bool Shown() const { return shown_; }
  void Form(std::size_t index, std::size_t count, const std::string& name);
  // At most a few times a second.
  void Records(long long records);
  // Takes the line away, for the lines printed after it.
  void Clear();

 private:
  void Draw(const std::string& text);

  Translator& tr_;
  bool shown_ = false;
  bool drawn_ = false;
  std::string form_;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace chkimport
