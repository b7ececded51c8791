#include "tests/support/written_catalog.h"

namespace bracken::testing {

source::Catalog OpenWritten(const FixtureDatabase& database, bool jet3,
                            const std::string& password) {
  source::Catalog catalog;
  catalog.OpenBuffer(jet3 ? WriteJet3(database) : WriteJet4(database), password);
  return catalog;
}

source::Catalog OpenWritten(const FixtureTable& table, bool jet3) {
  FixtureDatabase database;
  database.tables = {table};
  return OpenWritten(database, jet3);
}

std::vector<std::vector<source::Variant>> ReadAllRows(const source::Catalog& catalog,
                                                      const std::string& table) {
  source::Recordset recordset;
  recordset.Open("SELECT * FROM [" + table + "]", catalog);
  std::vector<std::vector<source::Variant>> rows;
  for (; !recordset.Eof(); recordset.MoveNext()) {
    source::Fields fields = recordset.Fields();
    std::vector<source::Variant> row;
    for (long i = 0; i < fields.Count(); ++i) row.push_back(fields.Item(i).Value());
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace bracken::testing
