// Next to the second page, Back to the first, and the table list with its
// marks, "Select All" and the names the conversion reads.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QTest>

#include "tests/support/server_query.h"
#include "tests/ui/dialog_harness.h"

namespace bracken::testing {
namespace {

using Names = std::vector<std::string>;

class SecondPage : public ::testing::Test {
 protected:
  void SetUp() override {
    auto found = TestServerFromEnvironment();
    if (!found) GTEST_SKIP() << kNoServerMessage;
    server = *found;
    shop = folder.Path("Shop.mdb");
    WriteJet4File(SmallShop(), shop);
  }

  bool Open(DialogUnderTest& ui, const std::filesystem::path& file) {
    ui.FillFirstPage(server, file, answerer);
    return ui.Next();
  }

  TestServer server;
  ScratchFolder folder;
  std::filesystem::path shop;
  ModalAnswerer answerer;
};

TEST_F(SecondPage, NextListsAndCountsTheTables) {
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, shop)) << answerer.Texts().join(" | ").toStdString();
  EXPECT_TRUE(answerer.seen.empty());
  EXPECT_EQ(ui.Rows(), (QStringList{"Customers", "Orders", "Products"}));
  EXPECT_EQ(ui.Marks(), std::vector<bool>(3, false));
  EXPECT_EQ(ui.Text(1037), "3");
  EXPECT_EQ(ui.dialog->TableNames(), (Names{"Customers", "Orders", "Products"}));
  EXPECT_EQ(ui.Text(1019), "Shop");
  for (int id :
       {1036, 1020, 1019, 1035, 1003, 1023, 1024, 1004, 1009, 1039, 1037, 1005, 1006, 1025}) {
    EXPECT_TRUE(ui.Visible(id)) << id;
  }
  for (int id : {1016, 1010, 1011, 1012, 1021, 1018, 1000, 1022, 1008, 1001, 1007, 1032, 1030, 1031,
                 1040, 1041}) {
    EXPECT_FALSE(ui.Visible(id)) << id;
  }
}

TEST_F(SecondPage, BackResetsTheFirstPageAndNextListsAgainWithoutDoubles) {
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, shop));
  ui.ClickMark(1);
  ui.SetText(1019, "typed_name");
  ui.Click(1009);

  EXPECT_TRUE(ui.Visible(1001));
  EXPECT_FALSE(ui.Visible(1003));
  EXPECT_FALSE(ui.Visible(1004));
  EXPECT_TRUE(ui.Rows().isEmpty());
  EXPECT_FALSE(ui.Find<QCheckBox>(1024)->isChecked());
  EXPECT_EQ(ui.Text(1011), "");
  EXPECT_EQ(ui.Text(1012), "");
  EXPECT_EQ(ui.Text(1018), "");
  EXPECT_EQ(ui.Text(1008), "");
  EXPECT_FALSE(ui.Widget(1008)->isEnabled());
  EXPECT_FALSE(ui.Find<QCheckBox>(1022)->isChecked());
  EXPECT_EQ(ui.Text(1010), QString::fromStdString(server.host));
  EXPECT_EQ(ui.Text(1019), "typed_name");

  ASSERT_TRUE(Open(ui, shop));
  EXPECT_EQ(ui.Rows(), (QStringList{"Customers", "Orders", "Products"}));
  EXPECT_EQ(ui.Marks(), std::vector<bool>(3, false));
  // Browse names the database after the file again.
  EXPECT_EQ(ui.Text(1019), "Shop");
}

TEST_F(SecondPage, AFileWithoutTablesListsNothingAndKeepsEarlierNames) {
  WriteJet4File(FixtureDatabase{}, folder.Path("Empty.mdb"));
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, shop));
  ui.Click(1009);
  ASSERT_TRUE(Open(ui, folder.Path("Empty.mdb")));
  EXPECT_TRUE(ui.Rows().isEmpty());
  EXPECT_EQ(ui.Text(1037), "0");
  EXPECT_EQ(ui.dialog->TableNames(), (Names{"Customers", "Orders", "Products"}));
  // "Select All" only toggles itself.
  ui.Click(1024);
  EXPECT_TRUE(ui.Find<QCheckBox>(1024)->isChecked());
  EXPECT_TRUE(ui.dialog->SelectedTableNames().empty());
}

TEST_F(SecondPage, MarksAndSelectAllKeepTheChosenNamesInStep) {
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, shop));
  auto* selectAll = ui.Find<QCheckBox>(1024);

  ui.ClickMark(0);
  ui.ClickMark(2);
  EXPECT_EQ(ui.Marks(), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(ui.dialog->SelectedTableNames(), (Names{"Customers", "", "Products"}));
  EXPECT_FALSE(selectAll->isChecked());

  // The last mark checks "Select All"; clearing any mark unchecks it and
  // leaves the old name behind, which the run ignores for an unmarked row.
  ui.ClickMark(1);
  EXPECT_TRUE(selectAll->isChecked());
  ui.ClickMark(0);
  EXPECT_FALSE(selectAll->isChecked());
  EXPECT_EQ(ui.dialog->SelectedTableNames(), (Names{"Customers", "Orders", "Products"}));

  // The space bar on the current row changes its mark like a click.
  ui.SelectRow(0);
  QTest::keyClick(ui.Widget(1003), Qt::Key_Space);
  EXPECT_EQ(ui.Marks(), std::vector<bool>(3, true));
  EXPECT_TRUE(selectAll->isChecked());

  // "Select All" clears everything, then marks everything, and leaves the
  // focus on Back.
  ui.Click(1024);
  EXPECT_EQ(ui.Marks(), std::vector<bool>(3, false));
  EXPECT_TRUE(ui.dialog->SelectedTableNames().empty());
  EXPECT_EQ(ui.dialog->focusWidget(), ui.Widget(1009));
  ui.Click(1024);
  EXPECT_EQ(ui.Marks(), std::vector<bool>(3, true));
  EXPECT_EQ(ui.dialog->SelectedTableNames(), (Names{"Customers", "Orders", "Products"}));
}

// Options opens over the second page only, starts as the command line's
// defaults, and keeps what OK chose (not what Cancel changed) while the
// window is open, across Back and Next.
TEST_F(SecondPage, OptionsStartAsTheCommandLineDefaultsAndLastWhileTheWindowIsOpen) {
  DialogUnderTest ui;
  auto* options = ui.dialog->findChild<QWidget*>("options");
  ASSERT_NE(options, nullptr);
  EXPECT_FALSE(options->isVisible());
  ASSERT_TRUE(Open(ui, shop));
  EXPECT_TRUE(options->isVisible());

  QTest::mouseClick(options, Qt::LeftButton);
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_EQ(answerer.seen[0].buttons, "options");
  EXPECT_EQ(answerer.seen[0].text, "MyISAM, rules");

  answerer.ChooseOptions({true, false});
  QTest::mouseClick(options, Qt::LeftButton);
  EXPECT_TRUE(ui.dialog->Choices().innoDb);
  EXPECT_FALSE(ui.dialog->Choices().rules);

  ui.Click(1009);
  EXPECT_FALSE(options->isVisible());
  ASSERT_TRUE(Open(ui, shop));
  QTest::mouseClick(options, Qt::LeftButton);  // cancelled: nothing changes
  EXPECT_EQ(answerer.seen.back().text, "InnoDB, no rules");
  EXPECT_TRUE(ui.dialog->Choices().innoDb);
  EXPECT_FALSE(ui.dialog->Choices().rules);
}

}  // namespace
}  // namespace bracken::testing
