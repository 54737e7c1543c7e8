#include "translate/scan_words.h"

#include <array>
#include <string_view>

#include "core/import_state.h"
#include "core/routine.h"
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

// The keywords in the order of the old language's table; each keyword is
// there once, so the look-up below finds what comparing in this order
// would.
constexpr std::array<Command, 38> kCommands{{
    {"AFTER", &onBeforeAfter, Guard::None},
    {"AUTOJUMP", &onJump, Guard::Common},
    {"GOTO", &onJump, Guard::Common},
    {"AUTOSEARCH", &onAutosearch, Guard::Common},
    {"BEFORE", &onBeforeAfter, Guard::None},
    {"CALL", &onCall, Guard::Common},
    {"CLEAR", &onClear, Guard::Common},
    {"CODEFIELD", &onCodeField, Guard::Common},
    {"CODES", &onCodeList, Guard::InBlock},
    {"COMMENT", &onCodeList, Guard::InBlock},
    {"LEGAL", &onCodeList, Guard::InBlock},
    {"COLOR", &onColor, Guard::Common},
    {"DEFINE", &onDefine, Guard::Common},
    {"ELSE", &onElse, Guard::Common},
    {"END", &onEnd, Guard::None},
    {"ENDIF", &onEndIf, Guard::Common},
    {"ENTER", &onEnter, Guard::Common},
    {"EXIT", &onExit, Guard::Common},
    {"FIELDCHAR", &onFieldChar, Guard::Common},
    {"HELP", &onHelp, Guard::Common},
    {"HIDE", &onHide, Guard::Common},
    {"IF", &onIf, Guard::Common},
    {"INCLUDE", &onInclude, Guard::None},
    {"JUMPS", &onJumps, Guard::InBlock},
    {"KEY", &onKey, Guard::Common},
    {"LET", &onLet, Guard::Common},
    {"LOAD", &onLoad, Guard::Common},
    {"MUSTENTER", &onMustEnter, Guard::Common},
    {"NOENTER", &onNoEnter, Guard::Common},
    {"RANGE", &onRange, Guard::Common},
    {"RELATE", &onRelate, Guard::Common},
    {"REPEAT", &onRepeat, Guard::Common},
    {"SHOWMEMORY", &onShowMemory, Guard::Common},
    {"THEN", &onThen, Guard::Common},
    {"TYPE", &onType, Guard::Common},
    {"UNHIDE", &onUnhide, Guard::Common},
    {"UNLOAD", &onUnload, Guard::Common},
    {"UPDATE", &onUpdate, Guard::Common},
}};

// The command of the keyword, or null. Every line is looked up: the
// keywords are grouped by their first letter, so that a word is compared
// with six of them at most and nothing is hashed.
constexpr auto kByLetter = [] {
  std::array<std::array<const Command*, 8>, 26> byLetter{};
  for (const Command& command : kCommands) {
    auto& group = byLetter[static_cast<std::size_t>(command.keyword.front() - 'A')];
    std::size_t k = 0;
    while (group[k]) ++k;
    group[k] = &command;
  }
  return byLetter;
}();

const Command* find(std::string_view word) {
  if (word.empty() || word.front() < 'A' || word.front() > 'Z') return nullptr;
  for (const Command* command : kByLetter[static_cast<std::size_t>(word.front() - 'A')]) {
    if (!command) return nullptr;
    if (command->keyword == word) return command;
  }
  return nullptr;
}

}  // namespace

bool IsCommandKeyword(std::string_view word) {
  return find(word) != nullptr;
}

bool ScanWords(ImportState& st, PassState& p) {
  bool result = true;
  Routine r(st, "ScanWords, ImportCHKCode");
  return r.run(result, [&] {
    const std::string& word0 = st.strWords(0);
    if (word0.empty()) return;
    const Command* command = find(word0);
    if (!command) {
      result = false;
      return;
    }
    const bool guarded = (command->guard == Guard::Common && (p.intLevel < 1 || !p.blnIgnoreNew)) ||
                         (command->guard == Guard::InBlock && p.intLevel < 1);
    if (!guarded && command->handler) command->handler(st, p, r);
  });
}

void StoreLine(ImportState& st, PassState& p, Routine& r) {
  r.step([&] {
    if (InsertNewContent(st, p.intSection, p.strLine)) p.blnPending = true;
  });
}

void StoreAdvice(ImportState& st, PassState& p, Routine& r, AdviceKind kind) {
  StoreLine(st, p, r);
  NoteAdvice(st, kind, p.strLine);
}

void Store(ImportState& st, PassState& p, Routine& r, const std::string& text) {
  p.strLine = text;
  StoreLine(st, p, r);
}

}  // namespace chkimport
