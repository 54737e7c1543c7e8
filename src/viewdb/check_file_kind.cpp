#include "viewdb/check_file_kind.h"

#include <cstring>
#include <fstream>
#include <string_view>

#include "chkimport/vb_error.h"
#include "core/line_reader.h"
#include "services/file_paths.h"
#include "services/texts.h"
#include "viewdb/rec_header.h"

namespace chkimport {
namespace {

constexpr std::size_t kBlock = 1 << 16;
constexpr char kEndOfFile = '\x1A';

// Reads the next block of `in` into `block`; false when nothing came.
bool readBlock(std::ifstream& in, std::string& block) {
  block.resize(kBlock);
  in.read(block.data(), static_cast<std::streamsize>(kBlock));
  block.resize(static_cast<std::size_t>(in.gcount()));
  return !block.empty();
}

// A NUL byte before the DOS end-of-file byte, `start` being the file's first block.
bool holdsNul(std::ifstream& in, std::string block) {
  do {
    const std::size_t end = std::min(block.find(kEndOfFile), block.size());
    if (std::memchr(block.data(), '\0', end)) return true;
    if (end < block.size()) return false;
  } while (readBlock(in, block));
  return false;
}

}  // namespace

std::string NotACheckFile(const std::string& path, const std::string& encoding) {
  if (!IsNormalFile(path)) return "";
  std::ifstream in(path, std::ios::binary);
  std::string start;
  if (!in || !readBlock(in, start)) return "";
  if (start.starts_with(std::string_view("SQLite format 3\0", 16)))
    return N_("is not a check file: it is a SQLite database");
  const bool utf16 = start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF");
  if (!utf16 && LineReader::CodeUnit(encoding) == 1 && holdsNul(in, start))
    return N_("is not a check file: it holds NUL bytes, as binary files do");
  try {
    LineReader head(LineReader::Decode(start, encoding));
    const std::string first = head.AtEnd() ? std::string() : head.ReadLine();
    const std::string second = head.AtEnd() ? std::string() : head.ReadLine();
    if (StartsLikeRecHeader(first, second))
      return N_("is not a check file: it starts like the header of a .REC data file");
  } catch (const VbError&) {
    // An encoding iconv does not know: the import tells of it.
  }
  return "";
}

}  // namespace chkimport
