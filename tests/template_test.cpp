// The shipped translation template holds exactly the texts of the sources.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

namespace {

std::set<std::string> msgids(const std::string& file) {
  std::ifstream in(file);
  std::set<std::string> ids;
  std::string line, current;
  bool inId = false;
  auto finish = [&] {
    if (inId && !current.empty()) ids.insert(current);
    current.clear();
    inId = false;
  };
  while (std::getline(in, line)) {
    if (line.rfind("msgid \"", 0) == 0) {
      finish();
      inId = true;
      current = line.substr(7, line.size() - 8);
    } else if (inId && line.rfind("\"", 0) == 0) {
      current += line.substr(1, line.size() - 2);
    } else {
      finish();
    }
  }
  finish();
  return ids;
}

TEST(TranslationTemplate, ShippedTemplateMatchesTheSources) {
  const auto shipped = msgids(CHKIMPORT_SOURCE_DIR "/languages/chkimport.pot");
  const auto generated = msgids(CHKIMPORT_BINARY_DIR "/chkimport.pot");
  ASSERT_FALSE(generated.empty()) << "the build did not extract the template";
  EXPECT_EQ(shipped, generated) << "run 'make pot' to refresh languages/chkimport.pot";
}

}  // namespace
