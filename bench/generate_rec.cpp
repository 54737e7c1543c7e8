// Writes the data file of the data benchmark: the header of the form in
// rec_form.h and N records, every 50th marked deleted.
//
//   generate_rec N FILE
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "rec_form.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: generate_rec N FILE\n";
    return 2;
  }
  const long long records = std::atoll(argv[1]);
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out || records < 0) {
    std::cerr << "generate_rec: cannot write " << argv[2] << "\n";
    return 1;
  }
  std::string text = std::to_string(bench::kRecFieldCount) + " 1 Filelabel: Benchmark form\r\n";
  for (const auto& field : bench::kRecFields) {
    char line[128];
    std::snprintf(line, sizeof line, "#%-10s   1   1  30  33   1%4d%4d 112  %s\r\n", field.name,
                  field.typeCode, field.length, field.name);
    text += line;
  }
  for (long long i = 1; i <= records; ++i) {
    const bench::Drawn d = bench::Draw(i);
    const std::string raw = bench::RawRecord(d);
    for (std::size_t at = 0; at < raw.size(); at += 78) {
      const bool last = at + 78 >= raw.size();
      text.append(raw, at, 78);
      text += last && d.deleted ? '?' : '!';
      text += "\r\n";
    }
    if (text.size() > (1 << 20)) {
      if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) return 1;
      text.clear();
    }
  }
  text += '\x1A';
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (std::fclose(out) != 0 || !written) {
    std::cerr << "generate_rec: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
