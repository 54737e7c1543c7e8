#include "translate/extract_words.h"

#include "component/import_state.h"
#include "component/routine.h"
#include "services/dao.h"
#include "translate/vb_strings.h"
#include "viewdb/check_code_storage.h"

namespace chkimport {
namespace {

bool isCutKeyword(const std::string& word) {
  return word == "IF" || word == "THEN" || word == "ELSE" || word == "ENDIF";
}

bool isYesNoLiteral(const std::string& word) {
  return word == "\"Y\"" || word == "\"N\"" || word == ".";
}

std::string stripTabs(const std::string& word) {
  const auto first = word.find_first_not_of('\t');
  if (first == std::string::npos) return {};
  return word.substr(first, word.find_last_not_of('\t') - first + 1);
}

}  // namespace

void ExtractWords(ImportState& st, dao::Recordset& rsView, std::string& strLine, std::string& strRest) {
  Routine r(st, "ExtractWords, ImportCHKCode");
  r.run([&] {
    for (int i = 0; i <= 100; ++i) st.strWords(i).clear();

    std::string working = UCase(Trim(strLine));
    // The line and the working text upper-cased, kept beside them so that
    // finding one in the other costs no conversion per word.
    std::string upperLine = UCase(strLine);
    std::string upperWorking = working;
    long lngPosition = 1;

    for (int i = 0; i <= 100; ++i) {
      if (i == 0 && Len(working) >= 5 && Left(working, 4) == "THEN") {
        strLine = Mid(strLine, 6);
        working = strLine;
        upperLine = UCase(strLine);
        upperWorking = upperLine;
      }
      if (lngPosition > 0) lngPosition = InStr(lngPosition, upperLine, upperWorking);
      if (working.empty()) return;

      long end = 0;
      long cut = 0;
      const std::string lead = LTrim(working);
      if (!lead.empty() && lead.front() == '"') {
        end = InStr(2, working, "\"");
      } else {
        const long e = InStr(working, "=");
        const long b = InStr(working, " ");
        end = e > 0 ? ((b > 0 && b < e) ? b : e) : b;
        cut = end >= 2 ? 1 : 0;
      }

      std::string& word = st.strWords(i);
      word = end != 0 ? Trim(Left(working, end - cut)) : working;
      word = UCase(stripTabs(word));

      if (i == 0 && !word.empty() && word.front() == '*') return;
      if (i >= 1) {
        if (isCutKeyword(word)) {
          strRest = working;
          strLine = Left(strLine, Len(strLine) - Len(working));
          word = "";
          return;
        }
        if (isYesNoLiteral(word) && i >= 2 && st.strWords(i - 1) == "=" && lngPosition > 0 &&
            VarIsYN(st, rsView, st.strWords(i - 2))) {
          TranslateYN(st, strLine, word, lngPosition);
          upperLine = UCase(strLine);
        }
      }

      working = Trim(Right(working, Len(working) - end + cut));
      upperWorking = Trim(Right(upperWorking, Len(upperWorking) - end + cut));
      if (end == 0) return;
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
