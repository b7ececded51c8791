#include "tests/engine/views/query_server.h"

#include <algorithm>

namespace bracken::testing {

using expression::ColumnRef;
using expression::ValueKind;

void QueryServerTest::SetUp() {
  std::optional<TestServer> server = TestServerFromEnvironment();
  if (!server) GTEST_SKIP() << kNoServerMessage;
  server_ = *server;
  database_ = std::make_unique<ScratchDatabase>(server_, CurrentTestDatabaseName("vq"));
  query_ = std::make_unique<ServerQuery>(server_, database_->name());
  dialect_ = expression::ServerDialect::FromVersion(*query_->Value("SELECT VERSION()"));
  query_->Execute(
      "CREATE TABLE `Customers` (`ID` INT PRIMARY KEY, `Name` VARCHAR(50), `City` VARCHAR(50))");
  query_->Execute(
      "INSERT INTO `Customers` VALUES (1, 'Ann', 'Oslo'), (2, 'Bob', 'Rome'), (3, 'Cid', 'Oslo'), "
      "(4, 'Dee', NULL)");
  query_->Execute(
      "CREATE TABLE `Orders` (`ID` INT PRIMARY KEY, `CustomerID` INT, `Amount` DECIMAL(19,4), "
      "`Placed` DATETIME, `Paid` TINYINT(1))");
  query_->Execute(
      "INSERT INTO `Orders` VALUES (10, 1, 100, '2024-01-05', 1), (11, 1, 50, '2024-02-10', 0), "
      "(12, 2, 75, '2024-01-20', 1), (13, 3, 100, '2024-03-01', 1), (14, NULL, 20, "
      "'2024-03-02', 0)");
  query_->Execute("CREATE TABLE `Order Lines` (`OrderID` INT, `Product` VARCHAR(50), `Qty` INT)");
  query_->Execute(
      "INSERT INTO `Order Lines` VALUES (10, 'Pen', 2), (10, 'Ink', 1), (11, 'Pen', 5), "
      "(12, 'Pad', 3), (13, 'Pen', 1)");
  catalog_.objects = {
      {"Customers",
       "Customers",
       {{"ID", "`ID`", ValueKind::Number, true},
        {"Name", "`Name`", ValueKind::Text, false},
        {"City", "`City`", ValueKind::Text, false}}},
      {"Orders",
       "Orders",
       {{"ID", "`ID`", ValueKind::Number, true},
        {"CustomerID", "`CustomerID`", ValueKind::Number, true},
        {"Amount", "`Amount`", ValueKind::Number, false},
        {"Placed", "`Placed`", ValueKind::Date, false},
        {"Paid", "`Paid`", ValueKind::Boolean, false}}},
      {"Order Lines",
       "Order Lines",
       {{"OrderID", "`OrderID`", ValueKind::Number, true},
        {"Product", "`Product`", ValueKind::Text, false},
        {"Qty", "`Qty`", ValueKind::Number, true}}},
  };
}

engine::QueryTranslation QueryServerTest::Translate(const source::QueryDefinition& query) const {
  return engine::TranslateQuery(query, catalog_, dialect_);
}

engine::QueryTranslation QueryServerTest::Create(const std::string& name,
                                                 const source::QueryDefinition& query) {
  engine::QueryTranslation translation = Translate(query);
  EXPECT_TRUE(translation.ok()) << translation.reason;
  if (!translation.ok()) return translation;
  if (translation.kind == engine::QueryObjectKind::View) {
    query_->Execute("CREATE VIEW `" + name + "` AS " + translation.body);
    catalog_.objects.push_back({name, name, translation.columns});
  } else {
    std::string parameters;
    for (const engine::ProcedureParameter& parameter : translation.parameters) {
      parameters += (parameters.empty() ? "IN " : ", IN ") + parameter.name + " " + parameter.type;
    }
    query_->Execute("CREATE PROCEDURE `" + name + "`(" + parameters + ") BEGIN " +
                    translation.body + " END");
  }
  return translation;
}

TextRows QueryServerTest::Text(const std::vector<Row>& rows) {
  TextRows out;
  for (const Row& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += (i > 0 ? "|" : "") + row[i].value_or("NULL");
    }
    out.push_back(line);
  }
  return out;
}

TextRows QueryServerTest::ViewRows(const std::string& name) {
  return Text(query_->Rows("SELECT * FROM `" + name + "`"));
}

TextRows QueryServerTest::CallRows(const std::string& name, const std::string& arguments) {
  // A CALL leaves a status result behind: a connection of its own reads it.
  ServerQuery call(server_, database_->name());
  return Text(call.Rows("CALL `" + name + "`(" + arguments + ")"));
}

TextRows QueryServerTest::Rows(const source::QueryDefinition& query) {
  std::string name = "q" + std::to_string(++created_);
  engine::QueryTranslation translation = Create(name, query);
  if (!translation.ok()) return {"refused: " + translation.reason};
  return ViewRows(name);
}

TextRows QueryServerTest::Sorted(TextRows rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

engine::QueryCatalog CatalogOf(ServerQuery& query, const std::string& database) {
  engine::QueryCatalog catalog;
  for (const Row& row :
       query.Rows("SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE FROM information_schema.COLUMNS WHERE "
                  "TABLE_SCHEMA = '" +
                  database + "' ORDER BY TABLE_NAME, ORDINAL_POSITION")) {
    if (catalog.objects.empty() || catalog.objects.back().accessName != *row[0]) {
      catalog.objects.push_back({*row[0], *row[0], {}});
    }
    const std::string& type = *row[2];
    ValueKind kind = ValueKind::Unknown;
    if (type.find("char") != std::string::npos || type.find("text") != std::string::npos) {
      kind = ValueKind::Text;
    } else if (type.find("int") != std::string::npos || type == "decimal" || type == "double" ||
               type == "float") {
      kind = ValueKind::Number;
    } else if (type == "datetime" || type == "date") {
      kind = ValueKind::Date;
    }
    bool whole = type.find("int") != std::string::npos;
    catalog.objects.back().columns.push_back({*row[1], "`" + *row[1] + "`", kind, whole});
  }
  return catalog;
}

source::QueryColumn C(std::string expression, std::string alias) {
  source::QueryColumn column;
  column.expression = std::move(expression);
  column.alias = std::move(alias);
  return column;
}

source::QuerySource T(std::string name, std::string alias) {
  source::QuerySource table;
  table.name = std::move(name);
  table.alias = std::move(alias);
  return table;
}

source::QueryOrder Asc(std::string expression) {
  source::QueryOrder order;
  order.expression = std::move(expression);
  return order;
}

source::QueryOrder Desc(std::string expression) {
  source::QueryOrder order = Asc(std::move(expression));
  order.descending = true;
  return order;
}

source::QueryDefinition Select(std::vector<source::QueryColumn> columns,
                               std::vector<source::QuerySource> sources) {
  source::QueryDefinition query;
  query.columns = std::move(columns);
  query.sources = std::move(sources);
  return query;
}

}  // namespace bracken::testing
