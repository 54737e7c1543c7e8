// Real check files from public repositories, imported against a view built
// from the fields of their data files: the import completes without an
// error, every field of the view gets its code, and the commands that became
// properties are all found again in the rows.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "import_harness.h"

namespace {

using namespace testing_support;

struct RealFile {
  const char* chk;
  const char* fields;
};

std::vector<ViewRow> viewOf(const std::string& fieldsFile) {
  std::ifstream in(fieldsFile);
  const auto fields = nlohmann::json::parse(in);
  std::vector<ViewRow> rows;
  for (const auto& f : fields)
    rows.push_back(
        {.Name = f["Name"], .Type = f["Type"], .Formatstring = f.value("Formatstring", std::string())});
  return rows;
}

// How many lines of the file start with `keyword` as their first word.
int linesStartingWith(const std::string& chkFile, const std::string& keyword) {
  const std::string text = readFile(chkFile);
  const std::regex line("(^|[\\r\\n])[ \\t]*" + keyword + "([ \\t]|[\\r\\n]|$)", std::regex::icase);
  return static_cast<int>(
      std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()));
}

TEST(RealWorld, ImportsCompleteAndKeepEveryProperty) {
  REQUIRE_REAL_FILES(kRealWorld);
  for (const RealFile file :
       {RealFile{"survey-2017/ramOP-EN.chk", "survey-2017/ramOP-EN.fields.json"},
        RealFile{"dk-documentation/STUDENT.chk", "dk-documentation/STUDENT.fields.json"},
        RealFile{"dk-documentation/bromar.chk", "dk-documentation/bromar.fields.json"}}) {
    SCOPED_TRACE(file.chk);
    const std::string chk = kRealWorld + file.chk;
    const auto rows = viewOf(kRealWorld + file.fields);
    ImportRun run(rows);

    // The listing pass finds every field of the view.
    EXPECT_EQ(silentImport(run.component, chk, run.db, "viewForm", {.tables = true}), "");
    const auto unmatched = run.unmatched();
    for (const auto& row : rows) {
      std::string upper = row.Name;
      for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      EXPECT_EQ(std::count(unmatched.begin(), unmatched.end(), upper), 0) << row.Name;
    }

    EXPECT_EQ(silentImport(run.component, chk, run.db, "viewForm",
                           {.overwrite = true, .ignoreNew = true, .tables = true}),
              "");
    EXPECT_EQ(run.log.str(), "");
    EXPECT_EQ(querySql(run.db, "SELECT count(*) FROM viewForm WHERE PageNumber > 0 AND Checkcode IS NULL"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(querySql(run.db, "SELECT count(*) FROM viewForm WHERE Lists LIKE '%M%'"),
              std::vector<std::string>{std::to_string(linesStartingWith(chk, "MUSTENTER"))});
    EXPECT_EQ(querySql(run.db, "SELECT count(*) FROM viewForm WHERE Lists LIKE '%G[%'"),
              std::vector<std::string>{std::to_string(linesStartingWith(chk, "RANGE"))});
  }
}

}  // namespace
