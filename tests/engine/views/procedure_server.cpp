#include "tests/engine/views/procedure_server.h"

#include <mysql.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "engine/schema/identifier.h"

namespace bracken::engine::views_testing {

namespace {

Result RunOne(MYSQL* handle, const std::string& statement) {
  if (mysql_real_query(handle, statement.data(), statement.size()) != 0) {
    throw std::runtime_error(std::string(mysql_error(handle)) + " in: " + statement);
  }
  Result result;
  MYSQL_RES* set = mysql_store_result(handle);
  if (set == nullptr) {
    if (mysql_field_count(handle) != 0) {
      throw std::runtime_error(std::string(mysql_error(handle)) + " in: " + statement);
    }
  } else {
    const unsigned int columns = mysql_num_fields(set);
    MYSQL_FIELD* fields = mysql_fetch_fields(set);
    for (unsigned int i = 0; i < columns; ++i) result.names.emplace_back(fields[i].name);
    while (MYSQL_ROW row = mysql_fetch_row(set)) {
      unsigned long* lengths = mysql_fetch_lengths(set);
      Row cells;
      for (unsigned int i = 0; i < columns; ++i) {
        cells.push_back(row[i] ? Cell(std::string(row[i], lengths[i])) : std::nullopt);
      }
      result.rows.push_back(std::move(cells));
    }
    mysql_free_result(set);
  }
  // A call's statements report after its result; an error among them is the call's.
  while (mysql_more_results(handle)) {
    if (mysql_next_result(handle) > 0) {
      throw std::runtime_error(std::string(mysql_error(handle)) + " in: " + statement);
    }
    if (MYSQL_RES* more = mysql_store_result(handle)) mysql_free_result(more);
  }
  return result;
}

}  // namespace

ProcedureServer::ProcedureServer(const testing::TestServer& server, const std::string& database)
    : server_(server), scratch_(server, database) {}

void ProcedureServer::Execute(const std::string& statement) {
  testing::ServerQuery(server_, database()).Execute(statement);
}

std::vector<Row> ProcedureServer::Rows(const std::string& query) { return Run(query).rows; }

Result ProcedureServer::Run(const std::string& statement) {
  return Run(std::vector<std::string>{statement});
}

Result ProcedureServer::Run(const std::vector<std::string>& statements,
                            const std::string& allowedToFail) {
  std::unique_ptr<MYSQL, void (*)(MYSQL*)> handle(mysql_init(nullptr), mysql_close);
  if (mysql_real_connect(handle.get(), server_.host.c_str(), server_.user.c_str(),
                         server_.password.c_str(), database().c_str(),
                         static_cast<unsigned int>(server_.port), nullptr,
                         CLIENT_MULTI_RESULTS) == nullptr) {
    throw std::runtime_error(std::string("cannot reach the test server: ") +
                             mysql_error(handle.get()));
  }
  mysql_set_character_set(handle.get(), "utf8mb4");
  Result result;
  for (const std::string& statement : statements) {
    try {
      result = RunOne(handle.get(), statement);
    } catch (const std::runtime_error&) {
      if (statement != allowedToFail) throw;
    }
  }
  return result;
}

QueryCatalog ProcedureServer::Catalog() {
  QueryCatalog catalog;
  auto rows = Rows(
      "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE FROM information_schema.COLUMNS WHERE "
      "TABLE_SCHEMA = DATABASE() ORDER BY TABLE_NAME, ORDINAL_POSITION");
  for (const Row& row : rows) {
    const std::string& table = *row[0];
    if (catalog.objects.empty() || catalog.objects.back().accessName != table) {
      catalog.objects.push_back({table, table, {}});
    }
    const std::string& type = *row[2];
    expression::ColumnRef column{*row[1], QuoteIdentifier(*row[1])};
    if (type == "int" || type == "smallint" || type == "bigint" || type == "tinyint") {
      column.kind = expression::ValueKind::Number;
      column.wholeNumber = true;
    } else if (type == "decimal" || type == "double" || type == "float") {
      column.kind = expression::ValueKind::Number;
    } else if (type == "varchar" || type == "char" || type.find("text") != std::string::npos) {
      column.kind = expression::ValueKind::Text;
    } else if (type == "datetime" || type == "date") {
      column.kind = expression::ValueKind::Date;
    }
    catalog.objects.back().columns.push_back(column);
  }
  return catalog;
}

void ProcedureServer::Create(const std::string& name, const QueryTranslation& translation) {
  if (!translation.ok()) throw std::runtime_error("not translated: " + translation.reason);
  if (translation.kind == QueryObjectKind::View) {
    Execute("CREATE VIEW " + QuoteIdentifier(name) + " AS " + translation.body);
    return;
  }
  std::string parameters;
  for (const ProcedureParameter& parameter : translation.parameters) {
    parameters += (parameters.empty() ? "IN " : ", IN ") + QuoteIdentifier(parameter.name) + " " +
                  parameter.type;
  }
  Execute("CREATE PROCEDURE " + QuoteIdentifier(name) + "(" + parameters + ")\nBEGIN\n" +
          translation.body + "\nEND");
}

std::vector<Row> Sorted(std::vector<Row> rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace bracken::engine::views_testing
