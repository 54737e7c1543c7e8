#include "translate/scan_words.h"

#include <array>
#include <string_view>

#include "component/import_state.h"
#include "component/routine.h"
#include "translate/field_code_buffers.h"

namespace chkimport {
namespace {

// Most commands are translated only inside a field block and on the writing
// pass; elsewhere they are dropped (still counted as dealt with). Block
// openers that must keep the level right on the listing pass too need only
// a field block; a few commands run anywhere.
enum class Guard { Common, InBlock, None };

struct Command {
  std::string_view keyword;
  CommandHandler handler;  // null: recognised, no translation yet
  Guard guard;
};

// The keywords in the order word 0 is compared with them; the first match wins.
constexpr std::array<Command, 38> kCommands{{
    {"AFTER", &onBeforeAfter, Guard::None},
    {"AUTOJUMP", &onJump, Guard::Common},
    {"GOTO", &onJump, Guard::Common},
    {"AUTOSEARCH", nullptr, Guard::Common},
    {"BEFORE", &onBeforeAfter, Guard::None},
    {"CALL", nullptr, Guard::Common},
    {"CLEAR", nullptr, Guard::Common},
    {"CODEFIELD", nullptr, Guard::Common},
    {"CODES", nullptr, Guard::InBlock},
    {"COMMENT", nullptr, Guard::InBlock},
    {"LEGAL", nullptr, Guard::InBlock},
    {"COLOR", nullptr, Guard::Common},
    {"DEFINE", nullptr, Guard::Common},
    {"ELSE", &onElse, Guard::Common},
    {"END", &onEnd, Guard::None},
    {"ENDIF", &onEndIf, Guard::Common},
    {"ENTER", &onEnter, Guard::Common},
    {"EXIT", &onExit, Guard::Common},
    {"FIELDCHAR", nullptr, Guard::Common},
    {"HELP", nullptr, Guard::Common},
    {"HIDE", nullptr, Guard::Common},
    {"IF", &onIf, Guard::Common},
    {"INCLUDE", &onInclude, Guard::None},
    {"JUMPS", &onJumps, Guard::InBlock},
    {"KEY", nullptr, Guard::Common},
    {"LET", nullptr, Guard::Common},
    {"LOAD", nullptr, Guard::Common},
    {"MUSTENTER", nullptr, Guard::Common},
    {"NOENTER", nullptr, Guard::Common},
    {"RANGE", nullptr, Guard::Common},
    {"RELATE", nullptr, Guard::Common},
    {"REPEAT", nullptr, Guard::Common},
    {"SHOWMEMORY", nullptr, Guard::Common},
    {"THEN", &onThen, Guard::Common},
    {"TYPE", nullptr, Guard::Common},
    {"UNHIDE", nullptr, Guard::Common},
    {"UNLOAD", nullptr, Guard::Common},
    {"UPDATE", nullptr, Guard::Common},
}};

}  // namespace

bool ScanWords(ImportState& st, PassState& p) {
  bool result = true;
  Routine r(st, "ScanWords, ImportCHKCode");
  return r.run(result, [&] {
    const std::string& word0 = st.strWords(0);
    if (word0.empty()) return;
    for (const Command& command : kCommands) {
      if (command.keyword != word0) continue;
      const bool guarded = (command.guard == Guard::Common && (p.intLevel < 1 || !p.blnIgnoreNew)) ||
                           (command.guard == Guard::InBlock && p.intLevel < 1);
      if (!guarded && command.handler) command.handler(st, p, r);
      return;
    }
    result = false;
  });
}

void StoreLine(ImportState& st, PassState& p, Routine& r) {
  r.step([&] {
    if (InsertNewContent(st, p.intSection, p.strLine)) p.blnPending = true;
  });
}

void Store(ImportState& st, PassState& p, Routine& r, const std::string& text) {
  p.strLine = text;
  StoreLine(st, p, r);
}

}  // namespace chkimport
