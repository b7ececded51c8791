#include "cli/verify_check.h"

#include "engine/verify/table_verify.h"

namespace bracken::cli {

engine::VerifySummary VerifyAndPrint(engine::ConversionSource& source,
                                     const std::vector<std::string>& tables,
                                     target::MySqlConnection& connection,
                                     const std::string& database, std::ostream& out,
                                     const engine::VerifyChoices& choices) {
  for (const std::string& line : engine::FileDamageLines(source)) out << line << "\n";
  engine::VerifySummary summary = engine::VerifyTables(
      source, tables, connection, database,
      [&out](const engine::TableVerdict& verdict) {
        for (const std::string& line : engine::VerdictLines(verdict)) {
          out << line << "\n";
        }
        out.flush();
      },
      choices);
  for (const std::string& line : engine::SchemaLines(summary)) out << line << "\n";
  for (const std::string& line : engine::QueryLines(summary)) out << line << "\n";
  return summary;
}

std::vector<std::string> CheckedTables(const std::vector<std::string>& names,
                                       const std::vector<bool>& checked) {
  std::vector<std::string> tables;
  for (std::size_t i = 0; i < names.size() && i < checked.size(); ++i) {
    if (checked[i]) tables.push_back(names[i]);
  }
  return tables;
}

std::string VerifyNote(const engine::VerifySummary& summary) {
  return ", verified: " + std::to_string(summary.Identical()) + " of " +
         std::to_string(summary.tables.size()) + " tables identical" +
         (summary.schemaShown ? ", " + std::to_string(summary.SchemaAsPlanned()) + " of " +
                                    std::to_string(summary.schema.size()) + " as planned"
                              : "") +
         (summary.queries.empty()
              ? ""
              : ", " + std::to_string(summary.QueriesAsConverted()) + " of " +
                    std::to_string(summary.queries.size()) + " queries as converted");
}

}  // namespace bracken::cli
