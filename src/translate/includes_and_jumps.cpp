// INCLUDE, which pulls another check-code file into the translation, and
// JUMPS, whose value-dependent jumps become IF-THEN-GOTO blocks.
#include <filesystem>

#include "core/import_state.h"
#include "core/routine.h"
#include "translate/include_paths.h"
#include "translate/scan_words.h"

namespace chkimport {
namespace {

constexpr int32_t kTooManyFiles = 67;
// Include files one pass may open. A file that includes the next one twice,
// 24 deep, would otherwise open 2^25 files; no real form comes near this.
constexpr int kMaxIncludeOpenings = 10000;

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return a == b || std::filesystem::equivalent(a, b, ec);
}

// A stack filled by a loop of includes is left down to the first open copy
// of the file that found no room, which then reads on after its own INCLUDE:
// every line of the loop is still read, and a file that includes itself
// more than once costs one trip up the stack per INCLUDE instead of a
// number of trips that doubles with every level.
[[noreturn]] void raiseTooDeep(ImportState& st, const IncludeFile& file) {
  for (int16_t depth = 1; depth < st.intFileDepth; ++depth) {
    if (!sameFile(st.filePaths(depth), file.path)) continue;
    while (st.intFileDepth > depth) {
      st.Close(st.intFileNumbers(st.intFileDepth));
      st.intFileNumbers(st.intFileDepth) = 0;
      Increment(st.intFileDepth, -1);
    }
    st.intCurrentFile = st.intFileNumbers(depth);
    break;
  }
  Raise(vberr::SubscriptOutOfRange,
        "Subscript out of range: too many nested INCLUDE files (opening " + file.strName + ")");
}

enum class Opened { Pushed, Empty, NotFollowed };

// Opens an include file on top of the input-file stack, so that the driver
// reads on from it. An empty file is closed again at once and nothing is
// pushed. A failure leaves the stack as it was. Past the pass's budget of
// openings, one error says so and no later INCLUDE is followed.
Opened pushIncludeFile(ImportState& st, const IncludeFile& file) {
  if (st.blnIncludesStopped) return Opened::NotFollowed;
  if (st.includeOpenings >= kMaxIncludeOpenings) {
    st.blnIncludesStopped = true;
    static_assert(kMaxIncludeOpenings == 10000, "the message names the limit");
    Raise(kTooManyFiles, st.T("Too many INCLUDE files: a pass opens at most 10000; this INCLUDE and the "
                              "later ones of the pass are not followed.") +
                             " (" + file.strName + ")");
  }
  // No room above the top entry: out of range, naming the file so the user can find the loop.
  if (st.intFileDepth >= decltype(st.intFileNumbers)::UBound) raiseTooDeep(st, file);
  int16_t intNumber = 0;
  try {
    intNumber = st.FreeFile();
  } catch (const VbError& e) {
    // File numbers run out one entry before the stack does (the CHK file holds one): the nesting is too deep.
    if (e.Number != kTooManyFiles) throw;
    raiseTooDeep(st, file);
  }
  ++st.includeOpenings;
  st.OpenInput(intNumber, file.path);
  if (st.File(intNumber).AtEnd()) {
    st.Close(intNumber);
    return Opened::Empty;
  }
  Increment(st.intFileDepth);
  st.intFileNumbers(st.intFileDepth) = intNumber;
  st.strFileNames(st.intFileDepth) = file.strName;
  st.filePaths(st.intFileDepth) = file.path;
  st.intCurrentFile = intNumber;
  return Opened::Pushed;
}

std::string jumpBlock(const std::string& strField, const std::string& strValue,
                      const std::string& strTarget) {
  return "IF " + strField + " = " + strValue + " THEN\r\nGOTO " + strTarget + "\r\nEND";
}

}  // namespace

// Runs at any level and on both passes: the included file is read all the
// same; the comment that marks it is kept only inside a field block on the
// writing pass.
void onInclude(ImportState& st, PassState& p, Routine& r) {
  IncludeFile file;
  r.step([&] {
    file = FindIncludeFile(st.strWords(1), st.strCHKFolder, st.host.includeWithin, &p.folderListings);
  });
  // A file outside the folder INCLUDE is confined to is not there for the translation.
  if (file.path.empty() && !file.outside.empty())
    r.step([&] {
      st.errorLog() << "chkimport: "
                    << st.T("warning: not read, as it lies outside the folder INCLUDE files are confined to:")
                    << " " << file.outside << " (" << st.host.includeWithin << ")\n";
    });

  Opened opened = Opened::NotFollowed;
  if (file.path.empty()) {
    r.step([&] {
      p.strLine = "*" + p.strLine + " " + st.T("CHECK file not found.") + " \r\n*" +
                  st.T("Include file could not be imported.") + " ";
    });
  } else {
    r.step([&] { opened = pushIncludeFile(st, file); });
    // Not followed (too deep, too many, unreadable): the error told the user; a marker would be untrue.
    if (opened == Opened::NotFollowed) return;
    if (opened == Opened::Pushed) {
      r.step([&] {
        p.strLine =
            "*" + p.strLine + " \\/ \\/ \\/ " + st.T("Included checkcode begins here") + " " + "\\/ \\/ \\/ ";
      });
    } else {
      r.step([&] {
        p.strLine =
            "*" + st.T("Include file could not be imported.") + " \r\n*" + st.T("CHECK file is empty.") + " ";
      });
    }
  }

  if (p.intLevel < 1 || !p.blnIgnoreNew) return;
  if (file.path.empty() || opened != Opened::Pushed)
    StoreAdvice(st, p, r, AdviceKind::Include);
  else
    StoreLine(st, p, r);
}

// A bare JUMPS opens a block whose value/target lines the driver turns into
// IF-THEN-GOTO blocks and records; JUMPS USE field repeats the recorded jumps
// of an earlier field for the current one. The level is kept on the listing
// pass too.
void onJumps(ImportState& st, PassState& p, Routine& r) {
  if (st.strWords(1).empty()) {
    r.step([&] { Increment(p.intLevel); });
    if (!p.blnIgnoreNew) return;
    st.blnInJumps = true;
    r.step([&] { p.strLine = "*" + st.T("JUMPS imported as IF-THEN-GOTO blocks") + " "; });
    StoreAdvice(st, p, r, AdviceKind::Jumps);
    return;
  }

  if (st.strWords(1) != "USE" || st.strWords(2).empty() || !p.blnIgnoreNew) return;
  const std::string strUseField = st.strWords(2);
  bool blnFound = false;
  for (int16_t row = 0; row < st.intJumpCount; ++row) {
    bool blnMatch = false;
    r.step([&] { blnMatch = st.strJumps(0, row) == strUseField; });
    if (!blnMatch) continue;
    if (!blnFound) {
      blnFound = true;
      r.step([&] {
        p.strLine = "*" + st.T("JUMPS imported as IF-THEN-GOTO blocks") + " \r\n*" +
                    st.T("from the USE field") + " " + strUseField;
      });
      StoreAdvice(st, p, r, AdviceKind::Jumps);
    }
    r.step([&] { p.strLine = jumpBlock(st.strFieldName, st.strJumps(1, row), st.strJumps(2, row)); });
    StoreLine(st, p, r);
  }

  if (!blnFound) {
    r.step([&] {
      p.strLine = "*" + st.T("No JUMPS found for the USE field") + " " + strUseField + "\r\n*" +
                  st.T("The USE field specified must be read ahead of current field") + " " + st.strFieldName;
    });
    StoreAdvice(st, p, r, AdviceKind::Jumps);
  }
}

}  // namespace chkimport
