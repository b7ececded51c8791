// Files written to test the edges of what a MySQL copy can hold, converted
// into the test server and read back: nothing may be lost quietly.

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/run_report.h"
#include "engine/source_connection.h"
#include "tests/engine/server_conversion.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/recording_owner.h"
#include "tests/support/server_query.h"

namespace bracken::engine {
namespace {

using testing::ColumnKind;
using testing::FixtureColumn;
using testing::FixtureDatabase;
using testing::FixtureTable;
using testing::FixtureValue;
using V = std::vector<FixtureValue>;

const testing::Cell kNull = std::nullopt;
testing::Cell S(std::string text) { return text; }

// Converts the tables of a written file into `database` on the test server.
class FidelityTest : public ::testing::Test {
 protected:
  ServerConversion Convert(const FixtureDatabase& file, const std::string& database,
                           const std::function<void(testing::RecordingOwner&)>& prepare = {}) {
    catalog_.OpenBuffer(testing::WriteJet4(file));
    source_ = std::make_unique<CatalogSource>(catalog_, "");
    database_ = database;
    return ConvertAll(*server_, *source_, ListTableNames(catalog_), database, prepare);
  }
  void SetUp() override {
    auto server = testing::TestServerFromEnvironment();
    if (!server) GTEST_SKIP() << testing::kNoServerMessage;
    server_ = *server;
  }
  void TearDown() override {
    if (server_ && !database_.empty()) {
      testing::ServerQuery(*server_).Execute("DROP DATABASE IF EXISTS `" + database_ + "`");
    }
  }
  testing::ServerQuery Query() { return testing::ServerQuery(*server_, database_); }

  std::optional<testing::TestServer> server_;
  source::Catalog catalog_;
  std::unique_ptr<CatalogSource> source_;
  std::string database_;
};

FixtureColumn Counter(const std::string& name) { return testing::MakeCounter(name); }

// 120 Text(255) columns cannot stand as VARCHAR in one MySQL row: the
// widest become TEXT until the row fits, each named in the report, and every
// value arrives. Columns of a key stay VARCHAR where others can give way.
TEST_F(FidelityTest, AWideTableFitsByTurningVarcharsIntoText) {
  FixtureTable table;
  table.name = "Wide";
  table.columns = {Counter("ID")};
  for (int i = 0; i < 120; ++i) {
    table.columns.push_back(testing::MakeColumn("T" + std::to_string(i), ColumnKind::Text, 255));
  }
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false}, {"T0", {"T0"}, false, true, false}};
  V row{int64_t{1}};
  // A Jet row holds at most 4 KiB, so the values are short; the columns are not.
  for (int i = 0; i < 120; ++i) row.push_back(std::string(20, static_cast<char>('a' + i % 26)));
  table.rows = {row};
  FixtureDatabase file;
  file.tables = {table};
  ServerConversion run = Convert(file, "fid_wide");
  EXPECT_EQ(run.summary.ending, RunEnding::Completed);
  EXPECT_FALSE(run.summary.Lost());
  EXPECT_EQ(run.reportMessage, kCompletedMessage);
  ASSERT_FALSE(run.reportLines.empty());
  EXPECT_EQ(run.reportLines[0],
            "Table [Wide], column [T119] is created as TEXT instead of VARCHAR(255), so that a row "
            "fits MySQL's limit of 65535 bytes.");
  auto query = Query();
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA="
                        "'fid_wide' AND DATA_TYPE='text'"),
            S(std::to_string(run.reportLines.size())));
  EXPECT_EQ(query.Value("SELECT DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA="
                        "'fid_wide' AND COLUMN_NAME='T0'"),
            S("varchar"));
  EXPECT_EQ(query.Value("SELECT CONCAT(T0, T1, T118, T119) FROM Wide"),
            S(std::string(20, 'a') + std::string(20, 'b') + std::string(20, 'a' + 118 % 26) +
              std::string(20, 'a' + 119 % 26)));
}

// Characters above U+FFFF arrive intact: the columns that hold them are
// four-byte UTF-8, the others stay three-byte so their keys keep their
// size; a name holding one gets a legal spelling.
TEST_F(FidelityTest, FourByteCharactersArriveIntact) {
  FixtureTable table;
  table.name = "Pets \xF0\x9F\x90\xBE";
  table.columns = {Counter("ID"), testing::MakeColumn("Name", ColumnKind::Text, 50),
                   testing::MakeColumn("Note \xF0\x9F\x8C\xBF", ColumnKind::Memo),
                   testing::MakeColumn("Plain", ColumnKind::Text, 255)};
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false},
                   {"Name", {"Name"}, false, true, false},
                   {"Plain", {"Plain"}, false, false, false}};
  const std::string fern = "Fern \xF0\x9F\x8C\xBF, \xF0\xA0\x80\x80 and \xE6\x97\xA5";
  table.rows = {V{int64_t{1}, fern, std::string("\xF0\x9F\x98\x80 memo"), std::string("plain")},
                V{int64_t{2}, std::string("Ivy"), std::monostate{}, std::string("x")}};
  FixtureDatabase file;
  file.tables = {table};
  ServerConversion run = Convert(file, "fid_emoji");
  EXPECT_EQ(run.summary.ending, RunEnding::Completed);
  EXPECT_FALSE(run.summary.Lost()) << ::testing::PrintToString(run.messages);
  EXPECT_EQ(run.reportLines,
            (std::vector<std::string>{
                "Table [Pets \xF0\x9F\x90\xBE] is created as [Pets _] (MySQL does not accept the "
                "name as it is).",
                "Table [Pets \xF0\x9F\x90\xBE], column [Note \xF0\x9F\x8C\xBF] is created as [Note "
                "_] (MySQL does not accept the name as it is)."}));
  auto query = Query();
  EXPECT_EQ(query.Rows("SELECT Name, `Note _` FROM `Pets _` ORDER BY ID"),
            (std::vector<testing::Row>{{S(fern), S("\xF0\x9F\x98\x80 memo")}, {S("Ivy"), S("")}}));
  EXPECT_EQ(
      query.Rows("SELECT COLUMN_NAME, CHARACTER_SET_NAME FROM information_schema.COLUMNS "
                 "WHERE TABLE_SCHEMA='fid_emoji' AND CHARACTER_SET_NAME IS NOT NULL "
                 "ORDER BY ORDINAL_POSITION"),
      (std::vector<testing::Row>{
          {S("Name"), S("utf8mb4")}, {S("Note _"), S("utf8mb4")}, {S("Plain"), S("utf8mb3")}}));
}

// Names MySQL refuses get the nearest legal spelling, unique among their
// neighbours; every row arrives and every rename is reported.
TEST_F(FidelityTest, NamesMySqlRefusesAreRespelledAndReported) {
  const std::string longName(70, 'L');
  FixtureTable first;
  first.name = "Orders ";
  first.columns = {testing::MakeColumn("Name", ColumnKind::Text, 20),
                   testing::MakeColumn("NAME", ColumnKind::Text, 20),
                   testing::MakeColumn("Jose", ColumnKind::Long),
                   testing::MakeColumn("Jos\xC3\xA9", ColumnKind::Long),
                   testing::MakeColumn("Trailing ", ColumnKind::Long),
                   testing::MakeColumn(longName, ColumnKind::Long)};
  first.indexes = {{"NAME", {"NAME"}, false, true, false}};
  first.rows = {
      V{std::string("a"), std::string("b"), int64_t{1}, int64_t{2}, int64_t{3}, int64_t{4}}};
  FixtureTable second = first;
  second.name = longName;
  FixtureTable third = first;
  third.name = longName + "x";  // the same 64 characters as the second
  FixtureDatabase file;
  file.tables = {first, second, third};
  ServerConversion run = Convert(file, "fid_names");
  EXPECT_EQ(run.summary.ending, RunEnding::Completed);
  EXPECT_EQ(run.summary.tablesConverted, 3);
  EXPECT_FALSE(run.summary.Lost()) << ::testing::PrintToString(run.messages);
  EXPECT_EQ(run.reportMessage, kCompletedMessage);
  auto query = Query();
  EXPECT_EQ(query.Rows("SELECT TABLE_NAME FROM information_schema.TABLES WHERE "
                       "TABLE_SCHEMA='fid_names' ORDER BY TABLE_NAME"),
            (std::vector<testing::Row>{
                {S(std::string(64, 'L'))}, {S(std::string(62, 'L') + "_2")}, {S("Orders")}}));
  EXPECT_EQ(query.Rows("SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE "
                       "TABLE_SCHEMA='fid_names' AND TABLE_NAME='Orders' ORDER BY "
                       "ORDINAL_POSITION"),
            (std::vector<testing::Row>{{S("Name")},
                                       {S("NAME_2")},
                                       {S("Jose")},
                                       {S("Jos\xC3\xA9_2")},
                                       {S("Trailing")},
                                       {S(std::string(64, 'L'))}}));
  EXPECT_EQ(query.Rows("SELECT * FROM Orders"),
            (std::vector<testing::Row>{{S("a"), S("b"), S("1"), S("2"), S("3"), S("4")}}));
  EXPECT_EQ(run.reportLines.size(), 3u * 4u + 3u);
}

// Markup is taken off only where Access stores it: hyperlinks give their
// display text or address, rich-text memos lose their paragraph tags; plain
// text that merely looks like either arrives as it is.
TEST_F(FidelityTest, MarkupIsTakenOffOnlyWhereAccessStoresIt) {
  FixtureTable table;
  table.name = "Notes";
  FixtureColumn rich = testing::MakeColumn("Rich", ColumnKind::Memo);
  rich.richText = true;
  table.columns = {testing::MakeColumn("N", ColumnKind::Long),
                   testing::MakeColumn("Link", ColumnKind::Hyperlink), rich,
                   testing::MakeColumn("Memo", ColumnKind::Memo),
                   testing::MakeColumn("Text", ColumnKind::Text, 100)};
  const std::string order = "Order #12 paid, see #http://shop.example/o/12# for details";
  table.rows = {
      V{int64_t{1}, std::string("Care sheet#https://example.com/care/fern-pot#"),
        std::string("<div>Water <b>weekly</b></div>"), std::string("<div>kept</div>"), order},
      V{int64_t{2}, std::string("#https://example.com/manuals/trowel.pdf#"),
        std::string("<div align=center>Title</div>"), order,
        std::string("someone@example.com#mailto:someone@example.com#")},
      V{int64_t{3}, std::string("someone@example.com#mailto:someone@example.com#"),
        std::string("plain"), std::string("#http://x#"), std::string("<div>x</div>")}};
  FixtureDatabase file;
  file.tables = {table};
  ServerConversion run = Convert(file, "fid_markup");
  EXPECT_EQ(run.messages, std::vector<std::string>{"Message: " + std::string(kCompletedMessage)});
  EXPECT_EQ(Query().Rows("SELECT Link, Rich, Memo, `Text` FROM Notes ORDER BY N"),
            (std::vector<testing::Row>{
                {S("Care sheet"), S("Water <b>weekly</b>"), S("<div>kept</div>"), S(order)},
                {S("https://example.com/manuals/trowel.pdf"), S("Title"), S(order),
                 S("someone@example.com#mailto:someone@example.com#")},
                {S("someone@example.com"), S("plain"), S("#http://x#"), S("<div>x</div>")}}));
}

// Access compares text without regard to case but with regard to accents:
// "Jose" and "José" both stand in one unique key, in three- and four-byte
// columns alike, and the keys still refuse what Access refuses.
TEST_F(FidelityTest, KeysThatDifferByAnAccentBothArrive) {
  FixtureTable table;
  table.name = "People";
  table.columns = {testing::MakeColumn("Name", ColumnKind::Text, 50),
                   testing::MakeColumn("Nick", ColumnKind::Text, 50)};
  table.indexes = {{"Name", {"Name"}, false, true, false}, {"Nick", {"Nick"}, false, true, false}};
  table.rows = {V{std::string("Jose"), std::string("Jose \xF0\x9F\x8C\xBF")},
                V{std::string("Jos\xC3\xA9"), std::string("Jos\xC3\xA9 \xF0\x9F\x8C\xBF")},
                V{std::string("M\xC3\xBCller"), std::string("Muller")},
                V{std::string("Muller"), std::string("M\xC3\xBCller")}};
  FixtureDatabase file;
  file.tables = {table};
  ServerConversion run = Convert(file, "fid_accents");
  EXPECT_EQ(run.messages, std::vector<std::string>{"Message: " + std::string(kCompletedMessage)});
  auto query = Query();
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM People"), S("4"));
  EXPECT_EQ(query.Value("SELECT TABLE_COLLATION FROM information_schema.TABLES WHERE "
                        "TABLE_SCHEMA='fid_accents'"),
            S("utf8mb3_uca1400_as_ci"));
  EXPECT_THROW(query.Execute("INSERT INTO People VALUES('JOSE', 'x')"), std::runtime_error)
      << "the key still ignores case";
  EXPECT_THROW(query.Execute("INSERT INTO People VALUES('y', 'JOS\xC3\x89 \xF0\x9F\x8C\xBF')"),
               std::runtime_error)
      << "the four-byte column's key too";
}

double Parsed(const testing::Cell& cell) { return cell ? std::strtod(cell->c_str(), nullptr) : 0; }

// The largest Single and Double, the smallest, and every date Access can
// hold arrive as they were; NaN and the infinities arrive as NULL and are
// named; a date Access cannot hold costs its row alone, not the table.
TEST_F(FidelityTest, NumbersAndDatesAtTheEdges) {
  FixtureTable table;
  table.name = "Edges";
  table.columns = {
      testing::MakeColumn("N", ColumnKind::Long), testing::MakeColumn("S", ColumnKind::Single),
      testing::MakeColumn("D", ColumnKind::Double), testing::MakeColumn("W", ColumnKind::DateTime)};
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  table.rows = {V{int64_t{1}, double{FLT_MAX}, DBL_MAX, 2958465.99999},   // 9999-12-31 23:59:59.1
                V{int64_t{2}, double{-FLT_MAX}, -DBL_MAX, -657434.0},     // 100-01-01
                V{int64_t{3}, double{FLT_MIN}, DBL_MIN, 2958465.999999},  // last half second
                V{int64_t{4}, double{FLT_TRUE_MIN}, DBL_TRUE_MIN, 36526.5},
                V{int64_t{5}, nan, inf, 0.0},
                V{int64_t{6}, -inf, nan, 3000000.0},  // past the year 9999
                V{int64_t{7}, 0.1, 0.1, -700000.0}};  // before the year 100
  FixtureDatabase file;
  file.tables = {table};
  ServerConversion run = Convert(file, "fid_edges");
  EXPECT_EQ(run.summary.ending, RunEnding::Completed);
  EXPECT_EQ(run.summary.rowsRefused, 2);
  EXPECT_EQ(run.summary.valuesChanged, 2);
  EXPECT_EQ(run.reportMessage, LossMessage(run.summary));
  EXPECT_EQ(run.reportLines.size(), 4u) << ::testing::PrintToString(run.reportLines);
  auto query = Query();
  auto rows = query.Rows("SELECT N, CAST(S AS DOUBLE), D, W FROM Edges ORDER BY N");
  ASSERT_EQ(rows.size(), 5u);
  const float singles[] = {FLT_MAX, -FLT_MAX, FLT_MIN, FLT_TRUE_MIN};
  const double doubles[] = {DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN};
  const char* dates[] = {"9999-12-31 23:59:59", "0100-01-01 00:00:00", "9999-12-31 23:59:59",
                         "2000-01-01 12:00:00"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Parsed(rows[i][1]), static_cast<double>(singles[i])) << i;
    EXPECT_EQ(Parsed(rows[i][2]), doubles[i]) << i;
    EXPECT_EQ(rows[i][3], S(dates[i])) << i;
  }
  EXPECT_EQ(rows[4], (testing::Row{S("5"), kNull, kNull, S("1899-12-30 00:00:00")}));
}

// Another client drops a table while its rows are copied: one message, the
// table counts as failed, and the run goes on with the next table.
TEST_F(FidelityTest, ATableDroppedDuringItsCopyFailsOnce) {
  FixtureTable gone;
  gone.name = "Gone";
  gone.columns = {testing::MakeColumn("N", ColumnKind::Long)};
  for (int i = 0; i < 50; ++i) gone.rows.push_back(V{int64_t{i}});
  FixtureTable kept = gone;
  kept.name = "Kept";
  FixtureDatabase file;
  file.tables = {gone, kept};
  testing::TestServer server = *server_;
  ServerConversion run = Convert(file, "fid_gone", [server](testing::RecordingOwner& owner) {
    owner.onCaption = [server](const std::string& caption) {
      if (caption == "Converting Table: [Gone] 5 rows converted...") {
        testing::ServerQuery(server, "fid_gone").Execute("DROP TABLE Gone");
      }
    };
  });
  EXPECT_EQ(run.summary.ending, RunEnding::Completed);
  EXPECT_EQ(run.summary.tablesFailed, 1);
  EXPECT_EQ(run.summary.tablesConverted, 1);
  EXPECT_EQ(run.summary.rowsRefused, 0);
  ASSERT_EQ(run.messages.size(), 2u) << ::testing::PrintToString(run.messages);
  EXPECT_EQ(run.messages[0], "Message: Table 'fid_gone.Gone' doesn't exist");
  EXPECT_EQ(run.reportMessage, LossMessage(run.summary));
  EXPECT_EQ(Query().Value("SELECT COUNT(*) FROM Kept"), S("50"));
}

}  // namespace
}  // namespace bracken::engine
