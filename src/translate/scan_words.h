#pragma once

#include "translate/pass_state.h"

namespace chkimport {

struct ImportState;
class Routine;

// Translates the current line when its first word is a command keyword of
// the old language. True when the line was dealt with (also when word 0 is
// ""); false, with nothing changed, when it is not a command.
bool ScanWords(ImportState& st, PassState& p);

// A command's translation. `r` is ScanWords's own frame: a branch's failing
// statement is handled there.
using CommandHandler = void (*)(ImportState& st, PassState& p, Routine& r);

// Stores strLine in the current section and marks code as pending.
void StoreLine(ImportState& st, PassState& p, Routine& r);
// Sets strLine to `text`, then stores it.
void Store(ImportState& st, PassState& p, Routine& r, const std::string& text);

// Each command family's handlers, in the file named after the family.
void onBeforeAfter(ImportState& st, PassState& p, Routine& r);
void onJump(ImportState& st, PassState& p, Routine& r);
void onIf(ImportState& st, PassState& p, Routine& r);
void onThen(ImportState& st, PassState& p, Routine& r);
void onElse(ImportState& st, PassState& p, Routine& r);
void onEndIf(ImportState& st, PassState& p, Routine& r);
void onEnter(ImportState& st, PassState& p, Routine& r);
void onExit(ImportState& st, PassState& p, Routine& r);
void onEnd(ImportState& st, PassState& p, Routine& r);

// Include files and jumps.
void onInclude(ImportState& st, PassState& p, Routine& r);
void onJumps(ImportState& st, PassState& p, Routine& r);

}  // namespace chkimport
