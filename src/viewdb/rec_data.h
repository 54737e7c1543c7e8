// The data records of a Vantrel 6 data file (.REC), read after its header.
//
// A record is the values of the header's fields of length above 0, in
// header order, each exactly its length in bytes, joined with nothing
// between them. It is cut into lines of 78 bytes, the last line holding the
// rest; each line ends in a mark and CR LF (or LF): "!" on every line but
// the last, and on the last "!" for a record as entered, "?" for a deleted
// one and "^" for a verified one. Nothing counts or separates the records;
// after the last one comes nothing or a DOS end-of-file byte (0x1A).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "viewdb/rec_header.h"

namespace chkimport {

class Translator;

inline constexpr std::size_t kRecLineBytes = 78;

struct RecRecord {
  long long number = 0;    // 1, 2, ... in file order
  int line = 0;            // the file's line where it begins
  char mark = '!';         // '!', '?' deleted, '^' verified
  std::string_view bytes;  // the values, joined; valid until the next Next
};

enum class RecRead { Record, Damaged, End };

class RecDataReader {
 public:
  // Opens the file and passes its header. Raises RecError when it cannot
  // be read or its text is not in a code of single bytes.
  RecDataReader(const std::string& path, const RecHeader& header, Translator& tr);
  ~RecDataReader();
  RecDataReader(const RecDataReader&) = delete;
  RecDataReader& operator=(const RecDataReader&) = delete;

  // The next record. Damaged: `damage` says where and why ("PATH: record
  // N, line L: ..."), and the reader has passed the rest of the damaged
  // record's lines, so that reading may go on with the next one.
  RecRead Next(RecRecord& record, std::string& damage);

  std::size_t RecordBytes() const { return recordBytes_; }

 private:
  bool nextLine(std::string_view& line, std::size_t& length);
  bool fill();
  // Whether a line could be the last of a record.
  bool endsRecord(std::string_view line, std::size_t length, std::size_t linesLeft) const;

  std::string path_;
  Translator& tr_;
  int fd_ = -1;
  std::vector<char> buffer_;
  std::size_t pos_ = 0, end_ = 0;
  bool eof_ = false;
  bool unended_ = false;  // the last line read had no line end: the file ended in it
  int lineNumber_ = 0;
  std::size_t recordBytes_ = 0, lines_ = 0, lastBytes_ = 0;
  std::string record_;
  long long number_ = 0;
};

}  // namespace chkimport
