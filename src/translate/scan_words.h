#pragma once

#include <string_view>
#include "core/migration_notes.h"

#include "translate/pass_state.h"

namespace chkimport {

struct ImportState;
class Routine;

// Translates the current line when its first word is a command keyword of
// the old language. True when the line was dealt with (also when word 0 is
// ""); false, with nothing changed, when it is not a command.
bool ScanWords(ImportState& st, PassState& p);

// An upper-cased word is one of the command keywords ScanWords knows.
bool IsCommandKeyword(std::string_view word);

// A command's translation. `r` is ScanWords's own frame: a branch's failing
// statement is handled there.
using CommandHandler = void (*)(ImportState& st, PassState& p, Routine& r);

// Stores strLine in the current section and marks code as pending.
void StoreLine(ImportState& st, PassState& p, Routine& r);
// Sets strLine to `text`, then stores it.
void Store(ImportState& st, PassState& p, Routine& r, const std::string& text);
// Stores strLine, a comment of advice of this kind, and notes it for the
// migration report.
void StoreAdvice(ImportState& st, PassState& p, Routine& r, AdviceKind kind);

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

// Writes the declarations DEFINE has gathered into their row, if they
// belong to the row of that bookmark ("" for any row); the recordset's
// current row stays current.
void WriteDeclarations(ImportState& st, PassState& p, const std::string& strRowBookmark);

// Variables, entry properties and ranges.
void onDefine(ImportState& st, PassState& p, Routine& r);
void onKey(ImportState& st, PassState& p, Routine& r);
void onLet(ImportState& st, PassState& p, Routine& r);
void onMustEnter(ImportState& st, PassState& p, Routine& r);
void onNoEnter(ImportState& st, PassState& p, Routine& r);
void onRange(ImportState& st, PassState& p, Routine& r);
// Search, value lists, and advisory and unsupported commands.
void onAutosearch(ImportState& st, PassState& p, Routine& r);
void onCodeField(ImportState& st, PassState& p, Routine& r);
void onCodeList(ImportState& st, PassState& p, Routine& r);
void onCall(ImportState& st, PassState& p, Routine& r);
void onClear(ImportState& st, PassState& p, Routine& r);
void onColor(ImportState& st, PassState& p, Routine& r);
void onFieldChar(ImportState& st, PassState& p, Routine& r);
void onHelp(ImportState& st, PassState& p, Routine& r);
void onHide(ImportState& st, PassState& p, Routine& r);
void onLoad(ImportState& st, PassState& p, Routine& r);
void onRelate(ImportState& st, PassState& p, Routine& r);
void onRepeat(ImportState& st, PassState& p, Routine& r);
void onShowMemory(ImportState& st, PassState& p, Routine& r);
void onType(ImportState& st, PassState& p, Routine& r);
void onUnhide(ImportState& st, PassState& p, Routine& r);
void onUnload(ImportState& st, PassState& p, Routine& r);
void onUpdate(ImportState& st, PassState& p, Routine& r);
// Include files and jumps.
void onInclude(ImportState& st, PassState& p, Routine& r);
void onJumps(ImportState& st, PassState& p, Routine& r);

}  // namespace chkimport
