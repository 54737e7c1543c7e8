// Unified diffs of two texts, line by line, as `diff -u` writes them.
#pragma once

#include <string>
#include <string_view>

namespace chkimport {

// The lines of `oldText` and `newText` compared, headed "--- oldName" and
// "+++ newName", in hunks with three lines of context. CRLF and LF both end a
// line, so two texts that differ only in their kind of line end compare
// equal; a last line without a line end is followed by
// "\ No newline at end of file". "" when the lines are the same. With
// `colour`, the headers are bold, the hunk ranges cyan, removed lines red
// and added lines green (terminal escape codes).
std::string UnifiedTextDiff(std::string_view oldText, std::string_view newText, const std::string& oldName,
                            const std::string& newName, bool colour);

}  // namespace chkimport
