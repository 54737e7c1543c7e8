#include "viewdb/code_tables.h"

#include <memory>
#include <vector>

#include "core/import_state.h"
#include "core/routine.h"
#include "services/dao.h"
#include "services/table_names.h"
#include "services/vb_strings.h"

namespace chkimport {

std::string CreateNewCodetable(ImportState& st, dao::Database& dbView, const std::string& strName) {
  std::string result;
  Routine r(st, "CreateNewCodetable, ImportCHKCode");
  return r.run(result, [&] {
    const std::string strBase = "code" + Trim(strName);
    std::string strCandidate = strBase;

    // The taken names, upper-cased and trimmed, are kept between calls for as
    // long as the database has the same number of tables: a pass creates one
    // table per value list and would otherwise compare with all of them each
    // time.
    auto& taken = st.takenTableNames;
    r.step([&] {
      const int intCount = dbView.TableDefsCount();
      if (taken.database == &dbView && taken.count == intCount) return;
      taken.names.clear();
      taken.nextNumber.clear();
      for (int i = 0; i < intCount; ++i) taken.names.insert(UCase(Trim(dbView.TableDefName(i))));
      taken.database = &dbView;
      taken.count = intCount;
    });
    auto isTaken = [&](const std::string& name) { return taken.names.count(UCase(Trim(name))) > 0; };
    // Names are only ever added to the taken ones, so the search for a free
    // number goes on from where the last one for this base stopped.
    if (isTaken(strCandidate)) {
      long& n = taken.nextNumber[UCase(Trim(strBase))];
      if (n < 1) n = 1;
      while (isTaken(strBase + std::to_string(n))) ++n;
      strCandidate = strBase + std::to_string(n);
    }

    dao::TableDef tdf;
    r.step([&] { tdf = dbView.CreateTableDef(strCandidate); });
    r.step([&] { tdf.AppendField(tdf.CreateField(st.strCodes(0, 0), dao::dbText, 255)); });
    if (!st.strCodes(1, 0).empty()) {
      r.step([&] {
        dao::FieldDef second = tdf.CreateField(st.strCodes(1, 0), dao::dbText, 255);
        second.AllowZeroLength = true;
        tdf.AppendField(second);
      });
    }
    r.step([&] {
      dbView.AppendTableDef(tdf);
      ++st.passCounts.codeTables;
      if (taken.database == &dbView) {
        taken.names.insert(UCase(Trim(strCandidate)));
        ++taken.count;
      }
    });
    result = strCandidate;
  });
}

void PopulateCodeTable(ImportState& st, dao::Database& dbView, const std::string& strTable) {
  Routine r(st, "PopulateCodeTable, ImportCHKCode");
  r.run([&] {
    std::unique_ptr<dao::Recordset> rs;
    r.step(
        [&] { rs = dbView.OpenRecordset("Select * from " + QuotedTableName(strTable), dao::dbOpenDynaset); });
    const std::string strFirst = st.strCodes(0, 0);
    const std::string strSecond = st.strCodes(1, 0);
    for (int row = 1; row < st.intCodeCount; ++row) {
      r.step([&] { rs->AddNew(); });
      r.step([&] { rs->SetField(strFirst, st.strCodes(0, row)); });
      r.step([&] {
        if (rs->FieldsCount() > 1) rs->SetField(strSecond, st.strCodes(1, row));
      });
      r.step([&] { rs->Update(); });
    }
  });
}

}  // namespace chkimport
