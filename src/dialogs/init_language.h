#pragma once

namespace chkimport {

struct ImportState;

// Sets up the language services when the import dialog loads and the host
// handed in no translator: error trapping on, the error-stack control, the
// user's language, a translator of the component's own, the dialog
// translated.
void InitLanguage(ImportState& st);

}  // namespace chkimport
