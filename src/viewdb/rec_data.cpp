#include "viewdb/rec_data.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "chkimport/translator.h"
#include "core/line_reader.h"

namespace chkimport {
namespace {

constexpr std::size_t kBlock = 1 << 20;
constexpr char kEndOfFile = '\x1A';

bool EndsRecordMark(char mark) {
  return mark == '!' || mark == '?' || mark == '^';
}

}  // namespace

RecDataReader::RecDataReader(const std::string& path, const RecHeader& header, Translator& tr)
    : path_(path), tr_(tr) {
  // The layout counts bytes: a text of two bytes a character has none of it.
  if (LineReader::CodeUnit(header.encoding) > 1)
    throw RecError{path + ": " + tr.T("the records of a file in") + " " + header.encoding + " " +
                   tr.T("cannot be read; convert it without them (--no-data)")};
  for (const RecField& field : header.fields) recordBytes_ += static_cast<std::size_t>(field.length);
  lines_ = recordBytes_ == 0 ? 0 : (recordBytes_ + kRecLineBytes - 1) / kRecLineBytes;
  lastBytes_ = recordBytes_ - (lines_ == 0 ? 0 : (lines_ - 1) * kRecLineBytes);
  record_.resize(recordBytes_);
  buffer_.resize(kBlock);

  fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0)
    throw RecError{path + ": " + tr.T("the file cannot be read") + " (" + std::strerror(errno) + ")"};
  std::string_view line;
  std::size_t length = 0;
  try {
    for (int i = 0; i < header.lines && nextLine(line, length); ++i) {
    }
  } catch (...) {
    close(fd_);
    throw;
  }
}

RecDataReader::~RecDataReader() {
  if (fd_ >= 0) close(fd_);
}

bool RecDataReader::fill() {
  if (eof_) return false;
  if (pos_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (end_ == buffer_.size()) return false;
  ssize_t got;
  do {
    got = read(fd_, buffer_.data() + end_, buffer_.size() - end_);
  } while (got < 0 && errno == EINTR);
  if (got < 0)
    throw RecError{path_ + ": " + tr_.T("the file cannot be read") + " (" + std::strerror(errno) + ")"};
  if (got == 0) {
    eof_ = true;
    return false;
  }
  // A DOS end-of-file byte ends the text.
  const void* stop = std::memchr(buffer_.data() + end_, kEndOfFile, static_cast<std::size_t>(got));
  if (stop) {
    end_ = static_cast<std::size_t>(static_cast<const char*>(stop) - buffer_.data());
    eof_ = true;
  } else {
    end_ += static_cast<std::size_t>(got);
  }
  return true;
}

// The next line without its line end (LF, or CR LF). `length` is its whole
// length; a line longer than the buffer is given cut, the rest passed over.
bool RecDataReader::nextLine(std::string_view& line, std::size_t& length) {
  std::size_t passed = 0;
  for (;;) {
    const char* start = buffer_.data() + pos_;
    const std::size_t available = end_ - pos_;
    const void* lf = std::memchr(start, '\n', available);
    if (lf || (eof_ && available > 0) || (passed > 0 && eof_)) {
      std::size_t size = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : available;
      pos_ += lf ? size + 1 : size;
      unended_ = !lf;
      if (size > 0 && start[size - 1] == '\r') --size;
      ++lineNumber_;
      if (passed > 0) {
        length = passed + size;
        line = std::string_view(record_.data(), 0);
        return true;
      }
      line = std::string_view(start, size);
      length = size;
      return true;
    }
    if (eof_) return false;
    if (pos_ == 0 && end_ == buffer_.size()) {
      // No line of a record is this long: its bytes need not be kept.
      passed += available;
      pos_ = end_ = 0;
    }
    fill();
  }
}

bool RecDataReader::endsRecord(std::string_view line, std::size_t length, std::size_t linesLeft) const {
  if (length != lastBytes_ + 1 || line.size() != length || !EndsRecordMark(line.back())) return false;
  // A last line as long as the others ends a record for sure only by its mark.
  return lastBytes_ != kRecLineBytes || line.back() != '!' || linesLeft <= 1;
}

RecRead RecDataReader::Next(RecRecord& record, std::string& damage) {
  std::string_view line;
  std::size_t length = 0;
  if (lines_ == 0 || !nextLine(line, length)) return RecRead::End;
  const long long number = ++number_;
  record.number = number;
  record.line = lineNumber_;
  auto damaged = [&](std::size_t index, const std::string& why) {
    damage = path_ + ": " + tr_.T("record") + " " + std::to_string(number) + ", " + tr_.T("line") + " " +
             std::to_string(lineNumber_) + ": " + why;
    // The rest of the record's lines are passed over, as far as they go.
    std::size_t left = lines_ - 1 - index;
    if (endsRecord(line, length, 1)) left = 0;
    while (left > 0 && nextLine(line, length)) {
      if (endsRecord(line, length, left)) break;
      --left;
    }
    return RecRead::Damaged;
  };

  for (std::size_t index = 0; index < lines_; ++index) {
    if (index > 0 && !nextLine(line, length)) {
      damage = path_ + ": " + tr_.T("record") + " " + std::to_string(number) + ", " + tr_.T("line") + " " +
               std::to_string(lineNumber_ + 1) + ": " + tr_.T("the record is cut off at the end of the file");
      return RecRead::Damaged;
    }
    const bool last = index + 1 == lines_;
    const std::size_t bytes = last ? lastBytes_ : kRecLineBytes;
    if (length < bytes + 1 && unended_)
      return damaged(index, tr_.T("the record is cut off at the end of the file"));
    if (length != bytes + 1)
      return damaged(index,
                     (length < bytes + 1 ? tr_.T("the line is too short:") : tr_.T("the line is too long:")) +
                         " " + std::to_string(length) + " " + tr_.T("bytes where a line of this record has") +
                         " " + std::to_string(bytes) + " " + tr_.T("and its end mark"));
    const char mark = line[bytes];
    if (last ? !EndsRecordMark(mark) : mark != '!')
      return damaged(index, tr_.T("the line ends in") + " '" + std::string(1, mark) + "' " +
                                (last ? tr_.T("where the last line of a record ends in !, ? or ^")
                                      : tr_.T("where a line that does not end the record ends in !")));
    std::memcpy(record_.data() + index * kRecLineBytes, line.data(), bytes);
    if (last) record.mark = mark;
  }
  record.bytes = std::string_view(record_.data(), record_.size());
  return RecRead::Record;
}

}  // namespace chkimport
