// RANGE: a range is a property of NUMBER and DATE fields now, one segment
// G[low,high] in the Lists of the field's view row. INFINITY becomes the
// extreme value the field's format allows, quoted dates lose their quotes and
// two-digit years are widened; RANGE USE copies another field's segment.
#include <algorithm>

#include "core/import_state.h"
#include "core/routine.h"
#include "services/dao.h"
#include "services/vb_strings.h"
#include "translate/property_letters.h"
#include "translate/scan_words.h"
#include "viewdb/check_code_storage.h"

namespace chkimport {
namespace {

std::string textOrEmpty(const dao::Value& value) {
  return value.IsNull() ? std::string() : value.ToString();
}

// A number's pattern is the format before its first ";".
std::string numberPattern(const std::string& strFormat) {
  const long lngSemicolon = InStr(strFormat, ";");
  return lngSemicolon > 0 ? Left(strFormat, lngSemicolon - 1) : strFormat;
}

// A date's pattern is the format after its first ";".
std::string datePattern(const std::string& strFormat) {
  const long lngSemicolon = InStr(strFormat, ";");
  return lngSemicolon > 0 ? Mid(strFormat, lngSemicolon + 1) : strFormat;
}

std::string nines(long count) {
  // A pattern beginning with "." leaves no room for nines before it.
  return std::string(static_cast<std::size_t>(std::max(count, 0L)), '9');
}

// Nines added until the bound is as long as the pattern.
std::string padWithNines(const std::string& strBound, const std::string& strPattern) {
  return strBound + nines(Len(strPattern) - Len(strBound));
}

std::string lowestNumber(const std::string& strPattern) {
  const long lngDot = InStr(strPattern, ".");
  if (lngDot == 0) return padWithNines("-", strPattern);
  return padWithNines("-" + nines(lngDot - 2) + ".", strPattern);
}

std::string highestNumber(const std::string& strPattern) {
  const long lngDot = InStr(strPattern, ".");
  if (lngDot == 0) return padWithNines("", strPattern);
  return padWithNines(nines(lngDot - 1) + ".", strPattern);
}

// Other date patterns leave INFINITY in place.
std::string lowestDate(const std::string& strPattern, const std::string& strBound) {
  if (strPattern == "MM-DD-YYYY" || strPattern == "DD-MM-YYYY") return "01-01-0101";
  if (strPattern == "MM-DD" || strPattern == "DD-MM") return "01-01";
  return strBound;
}

std::string highestDate(const std::string& strPattern, const std::string& strBound) {
  if (strPattern == "MM-DD-YYYY") return "12-31-9999";
  if (strPattern == "MM-DD") return "12-31";
  if (strPattern == "DD-MM-YYYY") return "31-12-9999";
  if (strPattern == "DD-MM") return "31-12";
  return strBound;
}

// A date bound without its quotes, its two-digit year widened to four.
// True when the year was widened.
bool normaliseDate(std::string& strBound) {
  if (!strBound.empty() && strBound.front() == '"') {
    strBound = Mid(strBound, 2);
    // A lone quote has nothing left to lose at its end.
    if (!strBound.empty()) strBound.pop_back();
  }
  if (Len(strBound) != 8) return false;
  strBound = Left(strBound, 6) + "19" + Right(strBound, 2);
  return true;
}

// The range segment of a Lists text: from the first "G" (either case) to the
// first "]" at or after it. Start 0 when there is none.
struct Segment {
  long start = 0;
  long end = 0;
};

Segment findSegment(const std::string& strLists) {
  Segment segment;
  segment.start = InStrNoCase(1, strLists, "G");
  if (segment.start == 0) return segment;
  segment.end = InStr(segment.start, strLists, "]");
  // A segment that was never closed runs to the end of the text.
  if (segment.end == 0) segment.end = Len(strLists);
  return segment;
}

// The comment of a RANGE USE that finds no range to copy, with its reason.
std::string cannotBeSet(ImportState& st, const std::string& strReason, const std::string& strUseField) {
  return "*RANGE " + st.T("is a property set by checkbox on field dialog.") + " \r\n*" +
         st.T("RANGE Property cannot be set.") + " \r\n*" + strReason + " " + strUseField;
}

}  // namespace

void onRange(ImportState& st, PassState& p, Routine& r) {
  dao::Recordset& rsView = *p.rsView;
  std::string strType;
  // A field without a type is neither a NUMBER nor a DATE field.
  r.step([&] { strType = textOrEmpty(rsView.Field("Type")); });
  if (strType != "NUMBER" && strType != "DATE") {
    r.step([&] { p.strLine = "*" + st.T("RANGE property for use with NUMBER and DATE field types only."); });
    StoreAdvice(st, p, r, AdviceKind::Range);
    return;
  }

  std::string strRange;  // "" when there is none to write
  bool blnYearsConverted = false;

  if (st.strWords(1) == "USE") {
    const std::string strFieldBookmark = st.strBookmark;
    r.step([&] { GetBookmark(st, rsView, st.strWords(2)); });
    if (st.strBookmark.empty()) {
      r.step([&] {
        p.strLine = cannotBeSet(st, st.T("The USE field specified not found in view table:"), st.strWords(2));
      });
    } else {
      std::string strUseLists;
      r.step([&] { strUseLists = ListsOf(rsView); });
      const Segment segment = findSegment(strUseLists);
      if (segment.start == 0) {
        r.step([&] {
          p.strLine = cannotBeSet(st, st.T("The USE field specified does not have RANGE property set:"),
                                  st.strWords(2));
        });
      } else {
        strRange = strUseLists.substr(static_cast<std::size_t>(segment.start - 1),
                                      static_cast<std::size_t>(segment.end - segment.start + 1));
      }
    }
    st.strBookmark = strFieldBookmark;
    r.step([&] { rsView.SetBookmark(st.strBookmark); });
  } else {
    dao::Value format;
    r.step([&] { format = rsView.Field("Formatstring"); });
    if (!format.IsNull()) {
      const std::string strFormat = format.ToString();
      const bool blnNumber = strType == "NUMBER";
      const std::string strPattern = blnNumber ? numberPattern(strFormat) : datePattern(strFormat);
      r.step([&] {
        std::string& strLow = st.strWords(1);
        if (strLow == "INFINITY")
          strLow = blnNumber ? lowestNumber(strPattern) : lowestDate(strPattern, strLow);
      });
      r.step([&] {
        std::string& strHigh = st.strWords(2);
        if (strHigh == "INFINITY")
          strHigh = blnNumber ? highestNumber(strPattern) : highestDate(strPattern, strHigh);
      });
    }
    if (strType == "DATE") {
      r.step([&] {
        if (normaliseDate(st.strWords(1))) blnYearsConverted = true;
      });
      r.step([&] {
        if (normaliseDate(st.strWords(2))) blnYearsConverted = true;
      });
    }
    strRange = "G[" + st.strWords(1) + "," + st.strWords(2) + "]";
  }

  if (!strRange.empty()) {
    std::string strLists;
    r.step([&] { strLists = ListsOf(rsView); });
    const Segment segment = findSegment(strLists);
    if (segment.start > 0) strLists = Left(strLists, segment.start - 1) + Mid(strLists, segment.end + 1);
    r.step([&] { SetLists(rsView, strLists + strRange); });
    r.step([&] {
      p.strLine = "*RANGE " + st.T("is a property set by checkbox on field dialog.") + " \r\n*" +
                  st.T("Property has been set.") + " ";
    });
    if (blnYearsConverted) {
      r.step([&] {
        p.strLine += "\r\n*" + st.T("Date range converted to 4 digit year format.") + "\r\n*" +
                     st.T("Verify new date range is correct.");
      });
    }
  }
  // Set as it was written: the property; a range not set, or whose years
  // were widened, is the user's to check.
  StoreAdvice(st, p, r, !strRange.empty() && !blnYearsConverted ? AdviceKind::Property : AdviceKind::Range);
}

}  // namespace chkimport
