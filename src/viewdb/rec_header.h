// The header of a Vantrel 6 data file (.REC): line 1 gives the number of
// description lines that follow, the flags and the file's label; each
// description line places a prompt and a field on the entry screen.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace chkimport {

class Translator;

struct RecField {
  std::string name;   // as written, case kept
  std::string label;  // the prompt without the name copy that VLAB puts first; trimmed
  int typeCode = 0;
  int length = 0;
  int line = 0;  // line of the file
};

struct RecHeader {
  std::vector<RecField> fields;  // screen order; text-only lines left out
  std::string fileLabel;
  bool vlab = false;
  std::vector<std::string> warnings;  // "PATH:LINE: ..." for fields of an unknown type
  int lines = 0;                      // of the header: line 1 and the description lines
  std::string encoding;               // the file's text encoding (an iconv name)
};

// Why a file is not a header we can use: "PATH:LINE: reason" (translated).
struct RecError {
  std::string message;
};

// Reads the header of `path` (data records after it are not read). Text is
// decoded as CHK files are; `encoding` overrides. Raises RecError.
RecHeader ReadRecHeader(const std::string& path, const std::string& encoding, Translator& tr);

// Whether two lines begin a header: line 1's count of description lines,
// then the eight numbers of a description line.
bool StartsLikeRecHeader(const std::string& first, const std::string& second);

// A field's "Type" and "Formatstring" in the view; `known` is false for a
// type code we cannot map (it becomes TEXT).
struct ViewFieldType {
  std::string type;
  std::optional<std::string> format;
  bool known = true;
};
ViewFieldType MapRecType(int typeCode, int length);

}  // namespace chkimport
