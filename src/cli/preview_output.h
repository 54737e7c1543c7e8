// How `chkimport import --dry-run` prints what the import would change.
#pragma once

#include "chkimport/preview.h"
#include "chkimport/translator.h"

namespace chkimport {

// Colour for a terminal only: standard output is one, NO_COLOR is unset or
// empty, and TERM is not "dumb".
bool ColourWanted();

// With `json`, the preview as one line of JSON on standard output. Otherwise
// the unmatched lines, the unified diffs and the code tables on standard
// output (coloured as ColourWanted says) and the result message, in the
// user's language, on standard error; a set-up that failed gives only the
// message.
void PrintPreview(const ImportPreview& preview, bool json, Translator& translator);

}  // namespace chkimport
