// --help as the user reads it: wrapped at the terminal's width, its
// headings in the user's language, each command listed by its first
// sentence; and the nearest name for a misspelt one.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "chkimport/translator.h"

namespace chkimport::cli {

// A formatter for `app` and all its commands, wrapping at `width` columns.
std::shared_ptr<CLI::Formatter> HelpFormatter(Translator& tr, std::size_t width);

// The first sentence of a description (up to the first ". ").
std::string FirstSentence(const std::string& text);

// The one of `names` nearest to `word` in edits (a letter added, dropped,
// changed, or two next to each other swapped), when at most a third of its
// letters (and at least 1, at most 3) differ; "" for none.
std::string Nearest(const std::string& word, const std::vector<std::string>& names);

}  // namespace chkimport::cli
