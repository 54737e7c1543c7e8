#include "translate/extract_words.h"

#include <array>
#include <string_view>

#include "core/import_state.h"
#include "core/routine.h"
#include "services/dao.h"
#include "services/vb_strings.h"
#include "viewdb/check_code_storage.h"

namespace chkimport {
namespace {

// Both are asked of nearly every word: the length is looked at first, so
// that most words are told apart without comparing any text.
bool isCutKeyword(std::string_view word) {
  switch (word.size()) {
    case 2:
      return word == "IF";
    case 4:
      return word == "THEN" || word == "ELSE";
    case 5:
      return word == "ENDIF";
    default:
      return false;
  }
}

bool isYesNoLiteral(std::string_view word) {
  if (word.size() == 1) return word[0] == '.';
  return word.size() == 3 && word[0] == '"' && (word[1] == 'Y' || word[1] == 'N') && word[2] == '"';
}

std::string_view withoutTabs(std::string_view s) {
  // Most words have no tab at either end.
  if (!s.empty() && s.front() != '\t' && s.back() != '\t') return s;
  const auto first = s.find_first_not_of('\t');
  if (first == std::string_view::npos) return s.substr(s.size());
  return s.substr(first, s.find_last_not_of('\t') - first + 1);
}

// Where a word of the working text lies, and where the text after it does;
// `last` when no text follows the word.
struct Cut {
  std::size_t offset, size;
  std::size_t restOffset, restSize;
  bool last;
};

// The blank and "=" end an unquoted word.
constexpr auto kEndsWord = [] {
  std::array<bool, 256> ends{};
  ends[static_cast<unsigned char>(' ')] = true;
  ends[static_cast<unsigned char>('=')] = true;
  return ends;
}();

// The working text's next word. A quoted word runs to the next quote, with
// both quotes; another ends before the first blank or "=", and a leading "="
// is a word of its own. The word loses the tabs at its ends and the text
// after it the blanks at its ends.
Cut cutWord(std::string_view working) {
  const std::size_t n = working.size();
  const char* const p = working.data();
  // The working text starts with a blank only just after a leading THEN.
  const std::size_t lead = p[0] != ' ' ? 0 : working.find_first_not_of(' ');
  long end = 0;
  long cut = 0;
  if (lead != std::string_view::npos && p[lead] == '"') {
    end = InStr(2, working, "\"");
  } else {
    std::size_t k = 0;
    while (k < n && !kEndsWord[static_cast<unsigned char>(p[k])]) ++k;
    end = k < n ? static_cast<long>(k) + 1 : 0;
    cut = end >= 2 ? 1 : 0;
  }
  Cut c{};
  c.last = end == 0;
  std::string_view piece =
      end != 0 ? TrimView(working.substr(0, static_cast<std::size_t>(end - cut))) : working;
  piece = withoutTabs(piece);
  c.offset = static_cast<std::size_t>(piece.data() - p);
  c.size = piece.size();
  if (c.last) return c;
  // What follows the word, from its end (the blank or "=" included).
  const std::string_view rest = TrimView(working.substr(static_cast<std::size_t>(end - cut)));
  c.restOffset = static_cast<std::size_t>(rest.data() - p);
  c.restSize = rest.size();
  return c;
}

}  // namespace

void ExtractWords(ImportState& st, dao::Recordset& rsView, std::string& strLine, std::string& strRest) {
  Routine r(st, "ExtractWords, ImportCHKCode");
  r.run([&] {
    for (int i = 0; i <= st.wordsInUse; ++i) st.strWords(i).clear();
    st.wordsInUse = 0;

    // The working text is a view into the line upper-cased, and so is its
    // upper-cased twin: upper-casing keeps every byte in its place, so both
    // are cut at the same offsets and a word is taken from the twin without
    // converting it again. The line upper-cased is also where the working
    // text is looked for; before it is upper-cased again (a Yes/No literal
    // rewritten), what is left of the working text moves to a copy. The
    // buffers keep their room from line to line.
    std::string& upperLine = st.wordBuffers.upperLine;
    std::string& workBuf = st.wordBuffers.work;
    std::string& upperBuf = st.wordBuffers.upper;
    UCaseInto(upperLine, strLine);
    std::string_view working = TrimView(upperLine), upperWorking = working;
    bool inUpperLine = true;
    // Where the working text stands in the upper-cased line: each word's
    // look-up starts from the last one's place. Only a Yes/No literal needs
    // it, so the look-ups wait until one does: `looked` is the first word
    // not yet looked up, `upperAt` each word's working text. The line
    // changes only where a literal is rewritten, after every look-up up to
    // it was made, so each waiting look-up sees the line it would have seen.
    long lngPosition = 1;
    struct Span {
      const char* data;
      std::size_t size;
    } upperAt[101];  // written before it is read: left unset
    int looked = 0;
    auto positionAt = [&](int word) {
      for (; looked <= word; ++looked)
        if (lngPosition > 0)
          lngPosition =
              InStr(lngPosition, upperLine, std::string_view(upperAt[looked].data, upperAt[looked].size));
      return lngPosition;
    };

    for (int i = 0; i <= 100; ++i) {
      if (i == 0 && working.size() >= 5 && working.substr(0, 4) == "THEN") {
        strLine = Mid(strLine, 6);
        workBuf = strLine;
        UCaseInto(upperLine, strLine);
        upperBuf = upperLine;
        working = workBuf;
        upperWorking = upperBuf;
        inUpperLine = false;
      }
      upperAt[i] = {upperWorking.data(), upperWorking.size()};
      if (working.empty()) return;

      const Cut c = cutWord(working);
      std::string& word = st.strWords(i);
      st.wordsInUse = i;
      // After a leading THEN the word is cut from the line as it stands and
      // taken from its upper-cased copy, which an overlong UTF-8 sequence
      // makes shorter: substr keeps the word inside the copy.
      word.assign(upperWorking.substr(c.offset, c.size));

      if (i == 0 && !word.empty() && word.front() == '*') return;
      if (i >= 1) {
        if (isCutKeyword(word)) {
          strRest.assign(working);
          strLine = Left(strLine, Len(strLine) - Len(working));
          word.clear();
          return;
        }
        if (isYesNoLiteral(word) && i >= 2 && st.strWords(i - 1) == "=" && positionAt(i) > 0 &&
            VarIsYN(st, rsView, st.strWords(i - 2))) {
          TranslateYN(st, strLine, word, lngPosition);
          if (inUpperLine) {
            workBuf.assign(working);
            working = upperWorking = workBuf;
            inUpperLine = false;
          }
          UCaseInto(upperLine, strLine);
        }
      }

      if (c.last) return;
      working = working.substr(c.restOffset, c.restSize);
      upperWorking = upperWorking.substr(c.restOffset, c.restSize);
    }
  });
}

bool VarIsYN(ImportState& st, dao::Recordset& rsView, const std::string& strName) {
  bool result = false;
  Routine r(st, "VarIsYN, ImportCHKCode");
  return r.run(result, [&] {
    const std::string strSaved = st.strBookmark;
    r.step([&] { GetBookmark(st, rsView, strName); });
    r.step([&] {
      if (!st.strBookmark.empty()) {
        const dao::Value type = rsView.Field("Type");
        result = !type.IsNull() && type.ToString() == "YES/NO";
      }
    });
    st.strBookmark = strSaved;
    // With no field row current before, the recordset stays where the look-up left it.
    r.step([&] {
      if (!strSaved.empty()) rsView.SetBookmark(strSaved);
    });
  });
}

void TranslateYN(ImportState& st, std::string& strLine, const std::string& strValue, long lngPosition) {
  Routine r(st, "TranslateYN, ImportCHKCode");
  r.run([&] {
    std::string strReplacement = "(.)";
    long lngLength = 1;
    if (strValue == "\"Y\"") {
      strReplacement = "(+)";
      lngLength = 3;
    } else if (strValue == "\"N\"") {
      strReplacement = "(-)";
      lngLength = 3;
    }
    const std::string strLeft = Trim(Left(strLine, lngPosition - 1));
    std::string strRight;
    if (Len(strLine) > lngPosition + lngLength)
      strRight = " " + Trim(Right(strLine, Len(strLine) - lngPosition - lngLength));
    strLine = strLeft + " " + strReplacement + strRight;
  });
}

}  // namespace chkimport
