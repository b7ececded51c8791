// Empty bytes are a value of their own: an OLE Object or Binary cell of zero
// bytes arrives as X'', a null one as NULL, one INSERT per row, many to an
// INSERT, and in a row whose long values go apart from its statement. Text
// keeps its rule: a null text arrives as ''.

#include <gtest/gtest.h>

#include "engine/rows/row_copy.h"
#include "engine/schema/column_definitions.h"
#include "engine/schema/key_clauses.h"
#include "engine/schema/table_plan.h"
#include "tests/support/fake_source.h"
#include "tests/support/recording_owner.h"
#include "tests/support/recording_target.h"

namespace bracken::engine {
namespace {

using source::Variant;
using testing::FakeTable;
using testing::LongColumn;
using testing::TypedColumn;

class EmptyBinaryTest : public ::testing::Test {
 protected:
  FakeTable Blobs() const {
    FakeTable table;
    table.columns = {LongColumn("ID"), TypedColumn("Ole", source::adLongVarBinary),
                     TypedColumn("Bin", source::adVarBinary, 50),
                     TypedColumn("Memo", source::adLongVarWChar)};
    table.rows = {{Variant::Long(1), Variant::Binary(""), Variant::Binary(""), Variant()},
                  {Variant::Long(2), Variant(), Variant(), Variant::Text("")},
                  {Variant::Long(3), Variant::Binary("\x01"), Variant::Binary(big_), Variant()}};
    return table;
  }
  CopyResult Copy(FakeTable table, const std::string& name = "T") {
    source_.tables[name] = std::move(table);
    context_.keyState.Clear();
    context_.tablePlan = PlanTable(owner_, context_, name, tableNames_);
    BuildKeyClauses(owner_, context_, name);
    BuildColumnDefinitions(owner_, context_, name);
    return CopyTableRows(owner_, context_, name).result;
  }

  std::string big_ = std::string(4, 'x');
  testing::FakeSource source_;
  testing::RecordingTarget target_;
  testing::RecordingOwner owner_;
  ConversionContext context_{target_, source_};
  NameRegistry tableNames_{false};
};

TEST_F(EmptyBinaryTest, OneInsertPerRowAndBatched) {
  ASSERT_EQ(Copy(Blobs()), CopyResult::Finished);
  EXPECT_EQ(target_.statements, (std::vector<std::string>{
                                    "INSERT INTO `T` VALUES(1,X'',X'','');",
                                    "INSERT INTO `T` VALUES(2,NULL,NULL,'');",
                                    "INSERT INTO `T` VALUES(3,0x01,0x78787878,'');",
                                }));
  target_.statements.clear();
  context_.batching.rows = 10;
  ASSERT_EQ(Copy(Blobs(), "U"), CopyResult::Finished);
  EXPECT_EQ(target_.statements,
            (std::vector<std::string>{"INSERT INTO `U` VALUES(1,X'',X'',''),(2,NULL,NULL,''),"
                                      "(3,0x01,0x78787878,'');"}));
}

TEST_F(EmptyBinaryTest, AnEmptyValueBesideOneSentApartStaysEmpty) {
  target_.traits.maxAllowedPacket = 8192;
  big_ = std::string(5000, 'x');
  ASSERT_EQ(Copy(Blobs()), CopyResult::Finished);
  ASSERT_EQ(target_.statements.size(), 3u);
  EXPECT_EQ(target_.statements[0], "INSERT INTO `T` VALUES(1,X'',X'','');");
  EXPECT_EQ(target_.statements[2], "INSERT INTO `T` VALUES(3,0x01,?,'');");
  ASSERT_EQ(target_.longValueCalls.size(), 1u);
  EXPECT_EQ(target_.longValueCalls[0].values, std::vector<std::string>{big_});
}

// Values sent apart are bound as bytes: a NULL never goes apart, and a row
// that would only fit by sending NULLs apart is refused, by name.
TEST_F(EmptyBinaryTest, NullsStayInTheStatementOfARowSentApart) {
  target_.traits.maxAllowedPacket = 2048;
  FakeTable table;
  table.columns = {LongColumn("ID"), TypedColumn("Big", source::adLongVarBinary)};
  table.rows = {{Variant::Long(1), Variant::Binary(std::string(1000, 'x'))}};
  for (int i = 0; i < 300; ++i) {
    table.columns.push_back(TypedColumn("N" + std::to_string(i), source::adLongVarBinary));
    table.rows[0].emplace_back();
  }
  ASSERT_EQ(Copy(table), CopyResult::Finished);
  EXPECT_TRUE(target_.longValueCalls.empty());
  EXPECT_EQ(context_.summary.rowsRefused, 1);
  ASSERT_EQ(owner_.messages.size(), 1u);
  EXPECT_NE(owner_.messages[0].find("Table [T], row 1: the row of "), std::string::npos)
      << owner_.messages[0];
}

}  // namespace
}  // namespace bracken::engine
