#include "cli/preview_output.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "component/preview.h"

namespace chkimport {

bool ColourWanted() {
  const char* noColour = std::getenv("NO_COLOR");
  const char* term = std::getenv("TERM");
  if (noColour && *noColour) return false;
  if (term && std::strcmp(term, "dumb") == 0) return false;
  return isatty(STDOUT_FILENO) == 1;
}

void PrintPreview(const ImportPreview& preview, bool json, Translator& translator) {
  if (json) {
    std::cout << PreviewJson(preview) << "\n";
    return;
  }
  const bool ran = preview.result.empty() || !preview.changes.empty() || !preview.unmatched.empty() ||
                   !preview.newTables.empty();
  if (ran) std::cout << PreviewText(preview, ColourWanted(), translator);
  if (!preview.result.empty()) std::cerr << "chkimport: " << translator.T(preview.result) << "\n";
}

}  // namespace chkimport
