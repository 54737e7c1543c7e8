#pragma once

namespace chkimport {

struct ImportState;

// Unloads every dialog of the component, the hidden one included, last
// loaded first. Database objects are left to the routines that own them.
void CloseDown(ImportState& st);

}  // namespace chkimport
