#include "services/unified_diff.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace chkimport {
namespace {

constexpr std::size_t kContext = 3;

// Beyond this many removed and added lines between the common head and tail
// of the two texts, the shortest edit is not searched for (the search takes
// memory in the square of that number): the whole middle counts as replaced.
constexpr std::ptrdiff_t kMostEdits = 1000;

struct Line {
  std::string_view text;
  bool ended = false;  // a line end follows
  bool operator==(const Line&) const = default;
};

std::vector<Line> splitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      lines.push_back({text.substr(start), false});
      break;
    }
    std::size_t end = lf;
    if (end > start && text[end - 1] == '\r') --end;
    lines.push_back({text.substr(start, end - start), true});
    start = lf + 1;
  }
  return lines;
}

// Marks the lines of a[lo, aEnd) to remove and of b[lo, bEnd) to add so that
// the fewest lines change (Myers' greedy search, then back along its trace).
// False when that takes more than kMostEdits changes.
bool markShortestEdit(const std::vector<Line>& a, const std::vector<Line>& b, std::ptrdiff_t lo,
                      std::ptrdiff_t aEnd, std::ptrdiff_t bEnd, std::vector<bool>& removed,
                      std::vector<bool>& added) {
  const std::ptrdiff_t n = aEnd - lo, m = bEnd - lo;
  const std::ptrdiff_t most = std::min(n + m, kMostEdits);
  // v[k + offset]: the furthest x reached on diagonal k = x - y.
  const std::ptrdiff_t offset = most + 1;
  std::vector<std::ptrdiff_t> v(static_cast<std::size_t>(2 * offset + 1), 0);
  auto at = [&](std::ptrdiff_t k) -> std::ptrdiff_t& { return v[static_cast<std::size_t>(k + offset)]; };
  // trace[d] holds v over k = -d..d after step d.
  std::vector<std::vector<std::ptrdiff_t>> trace;
  std::ptrdiff_t found = -1;
  for (std::ptrdiff_t d = 0; d <= most && found < 0; ++d) {
    for (std::ptrdiff_t k = -d; k <= d; k += 2) {
      std::ptrdiff_t x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
      std::ptrdiff_t y = x - k;
      while (x < n && y < m && a[static_cast<std::size_t>(lo + x)] == b[static_cast<std::size_t>(lo + y)]) {
        ++x;
        ++y;
      }
      at(k) = x;
      if (x >= n && y >= m) found = d;
    }
    trace.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
  }
  if (found < 0) return false;

  std::ptrdiff_t x = n, y = m;
  for (std::ptrdiff_t d = found; d > 0; --d) {
    const auto& prev = trace[static_cast<std::size_t>(d - 1)];
    auto prevAt = [&](std::ptrdiff_t k) { return prev[static_cast<std::size_t>(k + d - 1)]; };
    const std::ptrdiff_t k = x - y;
    const bool down = k == -d || (k != d && prevAt(k - 1) < prevAt(k + 1));
    const std::ptrdiff_t prevK = down ? k + 1 : k - 1;
    const std::ptrdiff_t prevX = prevAt(prevK), prevY = prevX - prevK;
    if (down)
      added[static_cast<std::size_t>(lo + prevY)] = true;
    else
      removed[static_cast<std::size_t>(lo + prevX)] = true;
    x = prevX;
    y = prevY;
  }
  return true;
}

enum class Op { Same, Removed, Added };

struct Edit {
  Op op;
  std::size_t oldLine;  // lines of the old text before this one
  std::size_t newLine;  // lines of the new text before this one
};

// Both texts as one walk: unchanged, removed and added lines in order, the
// removed lines of a change before its added ones.
std::vector<Edit> editScript(const std::vector<Line>& a, const std::vector<Line>& b) {
  std::ptrdiff_t head = 0;
  const auto n = static_cast<std::ptrdiff_t>(a.size()), m = static_cast<std::ptrdiff_t>(b.size());
  while (head < n && head < m && a[static_cast<std::size_t>(head)] == b[static_cast<std::size_t>(head)])
    ++head;
  std::ptrdiff_t aEnd = n, bEnd = m;
  while (aEnd > head && bEnd > head &&
         a[static_cast<std::size_t>(aEnd - 1)] == b[static_cast<std::size_t>(bEnd - 1)]) {
    --aEnd;
    --bEnd;
  }
  std::vector<bool> removed(a.size()), added(b.size());
  if (!markShortestEdit(a, b, head, aEnd, bEnd, removed, added)) {
    std::fill(removed.begin() + head, removed.begin() + aEnd, true);
    std::fill(added.begin() + head, added.begin() + bEnd, true);
  }

  std::vector<Edit> edits;
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (i < a.size() && removed[i]) {
      edits.push_back({Op::Removed, i++, j});
    } else if (j < b.size() && added[j]) {
      edits.push_back({Op::Added, i, j++});
    } else {
      edits.push_back({Op::Same, i++, j++});
    }
  }
  return edits;
}

// "start,count" of a hunk's range; GNU diff leaves out a count of 1 and gives
// an empty range the line before it.
std::string range(std::size_t first, std::size_t count) {
  if (count == 1) return std::to_string(first + 1);
  return std::to_string(count == 0 ? first : first + 1) + "," + std::to_string(count);
}

class Writer {
 public:
  explicit Writer(bool colour) : colour_(colour) {}

  void line(const char* colour, std::string_view text) {
    if (colour_ && colour) out_ += colour;
    out_ += text;
    if (colour_ && colour) out_ += "\x1b[m";
    out_ += '\n';
  }
  void diffLine(char mark, const char* colour, const Line& l) {
    std::string text(1, mark);
    text += l.text;
    line(colour, text);
    if (!l.ended) line(nullptr, "\\ No newline at end of file");
  }
  std::string take() { return std::move(out_); }

 private:
  bool colour_;
  std::string out_;
};

}  // namespace

std::string UnifiedTextDiff(std::string_view oldText, std::string_view newText, const std::string& oldName,
                            const std::string& newName, bool colour) {
  const auto a = splitLines(oldText), b = splitLines(newText);
  const auto edits = editScript(a, b);

  Writer out(colour);
  const char* bold = "\x1b[1m";
  bool headed = false;
  std::size_t e = 0;
  while (e < edits.size()) {
    while (e < edits.size() && edits[e].op == Op::Same) ++e;
    if (e == edits.size()) break;
    // A hunk: from kContext lines before this change to kContext lines after
    // the last change that lies within 2 * kContext unchanged lines of the one before.
    const std::size_t first = e >= kContext ? e - kContext : 0;
    std::size_t last = e;  // one past the last change
    for (std::size_t k = e, same = 0; k < edits.size(); ++k) {
      if (edits[k].op != Op::Same) {
        last = k + 1;
        same = 0;
      } else if (++same > 2 * kContext) {
        break;
      }
    }
    const std::size_t end = std::min(edits.size(), last + kContext);

    std::size_t oldCount = 0, newCount = 0;
    for (std::size_t k = first; k < end; ++k) {
      if (edits[k].op != Op::Added) ++oldCount;
      if (edits[k].op != Op::Removed) ++newCount;
    }
    if (!headed) {
      out.line(bold, "--- " + oldName);
      out.line(bold, "+++ " + newName);
      headed = true;
    }
    out.line("\x1b[36m", "@@ -" + range(edits[first].oldLine, oldCount) + " +" +
                             range(edits[first].newLine, newCount) + " @@");
    for (std::size_t k = first; k < end; ++k) {
      const Edit& edit = edits[k];
      switch (edit.op) {
        case Op::Same:
          out.diffLine(' ', nullptr, a[edit.oldLine]);
          break;
        case Op::Removed:
          out.diffLine('-', "\x1b[31m", a[edit.oldLine]);
          break;
        case Op::Added:
          out.diffLine('+', "\x1b[32m", b[edit.newLine]);
          break;
      }
    }
    e = end;
  }
  return out.take();
}

}  // namespace chkimport
