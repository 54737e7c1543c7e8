// The shipped translation template holds exactly the texts of the sources.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

TEST(TranslationTemplate, ShippedTemplateMatchesTheSources) {
  testing_support::TempDir dir;
  auto msgids = [&](const std::string& file) {
    return testing_support::runCommand("(msgcat --no-wrap --sort-output '" + file + "' | grep '^msgid ')",
                                       dir)
        .out;
  };
  const std::string generated = msgids(CHKIMPORT_BINARY_DIR "/chkimport.pot");
  ASSERT_NE(generated.find("\nmsgid \"No Table Name Supplied\"\n"), std::string::npos)
      << "the build did not extract the template";
  EXPECT_EQ(msgids(CHKIMPORT_SOURCE_DIR "/languages/chkimport.pot"), generated)
      << "run 'make pot' to refresh languages/chkimport.pot";
}

}  // namespace
