#include <gtest/gtest.h>

#include <string>

#include "replace/rewrite_cell.h"
#include "replace/used_range.h"
#include "spreadsheet/excel_component.h"
#include "tests/spreadsheet/fake_excel.h"

namespace {

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::UseFakeApplications(&world_, &no_application_, "nothing installed");
  }
  void TearDown() override {
    Excel工作簿1.Release();
    Excel程序1.Release();
    SetApplicationFactory(nullptr);
  }
  // Opens path the way the batch does.
  void Open(const std::string& path) {
    ASSERT_TRUE(Excel程序1.CreateApplication());
    Excel工作簿1.AttachWorkbook(Excel程序1);
    Excel工作簿1.CloseWorkbooks();
    ASSERT_TRUE(Excel工作簿1.OpenWorkbook(path));
  }
  std::string Read(const std::string& cell) {
    Excel工作簿1.SetRangeStart(cell);
    Excel工作簿1.SetRangeEnd(cell);
    return Excel工作簿1.Content();
  }

  fake::World world_;
  bool no_application_ = false;
};

TEST_F(ComponentTest, ContentComesFromOneReadOfTheSheet) {
  fake::SheetData s;
  s.name = "S";
  s.SetText(2, 2, "b2");
  s.Set(3, 4, Variant::MakeInteger(42));
  s.SetText(5, 4, "d5");
  world_.files["w.xlsx"].sheets = {s};
  Open("w.xlsx");
  Excel工作簿1.SetCurrentSheet(1);
  size_t before = world_.Calls();
  EXPECT_EQ(Read("B2"), "b2");
  EXPECT_EQ(world_.Calls() - before, 4u);  // UsedRange, Row, Column, Value
  before = world_.Calls();
  EXPECT_EQ(Read("D3"), "42");
  EXPECT_EQ(Read("D5"), "d5");
  EXPECT_EQ(Read("A1"), "");    // outside the used range B2:D5
  EXPECT_EQ(Read("E5"), "");
  EXPECT_EQ(Read("C3"), "");    // inside, empty
  EXPECT_EQ(Excel工作簿1.CurrentSheet(), 1);
  Excel工作簿1.SetCurrentSheet(1);
  EXPECT_EQ(Excel工作簿1.RangeStart(), "C3");
  ObjectRef held = Excel工作簿1.GetCurrentSheet();
  EXPECT_TRUE(held);
  EXPECT_EQ(Excel工作簿1.GetCurrentSheet(), held);
  EXPECT_EQ(world_.Calls(), before) << "reads after the first, re-selection and read-backs make no call";
  int row = 0, column = 0;
  ASSERT_TRUE(Excel工作簿1.UsedRangeOrigin(&row, &column));
  EXPECT_EQ(row, 2);
  EXPECT_EQ(column, 2);
}

TEST_F(ComponentTest, ContentStaysTrueAcrossOwnWrites) {
  fake::SheetData s;
  s.SetText(1, 1, "old");
  s.SetText(1, 2, "keep");
  world_.files["w.xlsx"].sheets = {s};
  Open("w.xlsx");
  EXPECT_EQ(Read("A1"), "") << "the sheet current before opening belongs to the closed blank workbook";
  Excel工作簿1.SetCurrentSheet(1);
  EXPECT_EQ(Read("A1"), "old");
  RewriteCell("A1", "A1", 1, "new");
  RewriteCell("C3", "C3", 1, "outside");  // beyond the used range read before
  EXPECT_EQ(Read("A1"), "new");
  EXPECT_EQ(Read("C3"), "outside");
  EXPECT_EQ(Read("B1"), "keep");
  EXPECT_TRUE(Excel工作簿1.CellRewritten());
  EXPECT_EQ(Excel工作簿1.CellsRewritten(), 2);
}

// Values are kept for the current sheet alone; moving between sheets, and
// writing on one while another's values were read, keeps every read true.
TEST_F(ComponentTest, ContentStaysTrueAcrossSheets) {
  fake::SheetData a, b;
  a.SetText(1, 1, "a1");
  a.SetText(3, 3, "c3");
  b.SetText(2, 2, "b2");
  world_.files["w.xlsx"].sheets = {a, b};
  Open("w.xlsx");
  Excel工作簿1.SetCurrentSheet(1);
  EXPECT_EQ(Read("A1"), "a1");
  Excel工作簿1.SetCurrentSheet(2);
  EXPECT_EQ(Read("A1"), "");
  EXPECT_EQ(Read("B2"), "b2");
  RewriteCell("A1", "A1", 1, "new");
  Excel工作簿1.SetCurrentSheet(2);
  EXPECT_EQ(Read("B2"), "b2");
  Excel工作簿1.SetCurrentSheet(1);
  EXPECT_EQ(Read("A1"), "new");
  EXPECT_EQ(Read("C3"), "c3");
  // A range of two different names: Content reads its first cell, and a write
  // covers both ends.
  Excel工作簿1.SetRangeStart("C3");
  Excel工作簿1.SetRangeEnd("A1");
  EXPECT_EQ(Excel工作簿1.Content(), "c3");
  EXPECT_EQ(Excel工作簿1.RangeEnd(), "A1");
  Excel工作簿1.SetContent("both");
  EXPECT_EQ(Read("A1"), "both");
  EXPECT_EQ(Read("B2"), "both");
  EXPECT_EQ(Read("C3"), "both");
  EXPECT_EQ(Read("$C$3"), "both");
  ASSERT_TRUE(Excel工作簿1.SaveWorkbook());
  EXPECT_EQ(world_.files["w.xlsx"].sheets[0].Text(2, 2), "both");
  EXPECT_EQ(world_.files["w.xlsx"].sheets[1].Text(1, 1), "");
  EXPECT_EQ(world_.files["w.xlsx"].sheets[1].Text(2, 2), "b2");
}

TEST_F(ComponentTest, RewriteCellMakesSixWritesInOrder) {
  fake::SheetData a, b;
  a.name = "A";
  b.name = "B";
  b.SetText(7, 2, "abc123");
  world_.files["w.xlsx"].sheets = {a, b};
  Open("w.xlsx");
  world_.puts.clear();
  RewriteCell("B7", "B7", 2, "X");
  EXPECT_EQ(world_.puts, (std::vector<std::string>{"Range.Value=X", "Range.ShrinkToFit=1",
                                                    "Range.HorizontalAlignment=-4108"}));
  ASSERT_TRUE(Excel工作簿1.SaveWorkbook());
  const fake::SheetData& saved = world_.files["w.xlsx"].sheets[1];
  EXPECT_EQ(saved.Text(7, 2), "X");
  EXPECT_EQ(saved.formats.at({7, 2}).alignment, -4108);
  EXPECT_EQ(saved.formats.at({7, 2}).shrink, 1);
  EXPECT_EQ(Excel工作簿1.CurrentSheet(), 2);
  // An empty replacement empties the cell and still formats it.
  RewriteCell("B7", "B7", 2, "");
  ASSERT_TRUE(Excel工作簿1.SaveWorkbook());
  EXPECT_EQ(world_.files["w.xlsx"].sheets[1].Text(7, 2), "");
  EXPECT_EQ(world_.files["w.xlsx"].sheets[1].formats.at({7, 2}).shrink, 1);
}

TEST_F(ComponentTest, UsedRangeCounts) {
  fake::SheetData one, box, chart, empty;
  one.SetText(1, 1, "x");
  for (int r = 5; r <= 10; ++r)
    for (int c = 3; c <= 6; ++c) box.SetText(r, c, "v");
  chart.chart = true;
  world_.files["w.xlsx"].sheets = {one, box, chart, empty};
  Open("w.xlsx");
  Excel工作簿1.SetCurrentSheet(3);
  struct Case {
    int sheet, rows, columns;
  } cases[] = {{1, 1, 1}, {2, 6, 4}, {3, -1, -1}, {4, 1, 1}, {9, -1, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(CountUsedRows(Excel工作簿1, c.sheet), c.rows) << c.sheet;
    EXPECT_EQ(CountUsedColumns(Excel工作簿1, c.sheet), c.columns) << c.sheet;
    EXPECT_EQ(Excel工作簿1.CurrentSheet(), 3) << "the current sheet is restored";
  }
  world_.count_fails = true;
  EXPECT_EQ(CountUsedRows(Excel工作簿1, 2), 0);
  // Three calls for a measurement of the sheet already current.
  world_.count_fails = false;
  Excel工作簿1.SetCurrentSheet(2);
  size_t before = world_.Calls();
  EXPECT_EQ(CountUsedColumns(Excel工作簿1, 2), 4);
  EXPECT_EQ(world_.Calls() - before, 3u);
}

TEST_F(ComponentTest, NothingHeldMeansNoCallAndEmptyReads) {
  no_application_ = true;
  EXPECT_FALSE(Excel程序1.CreateApplication());
  EXPECT_EQ(Excel程序1.LastFailure(), "nothing installed");
  Excel程序1.SetVisible(true);
  Excel程序1.ActivateWindow();
  Excel程序1.SendKeys("^s", 1);
  Excel程序1.Quit();
  Excel工作簿1.AttachWorkbook(Excel程序1);
  Excel工作簿1.CloseWorkbooks();
  EXPECT_FALSE(Excel工作簿1.OpenWorkbook("w.xlsx"));
  EXPECT_FALSE(Excel工作簿1.SaveWorkbook());
  Excel工作簿1.SetCurrentSheet(1);
  Excel工作簿1.SetRangeStart("A1");
  Excel工作簿1.SetRangeEnd("A1");
  Excel工作簿1.SetContent("x");
  Excel工作簿1.SetShrinkToFit(true);
  Excel工作簿1.SetHorizontalAlignment(-4108);
  EXPECT_EQ(Excel工作簿1.SheetCount(), 0);
  EXPECT_EQ(Excel工作簿1.CurrentSheet(), 0);
  EXPECT_EQ(Excel工作簿1.Content(), "");
  EXPECT_EQ(Excel工作簿1.RangeStart(), "");
  EXPECT_EQ(Excel工作簿1.RangeEnd(), "");
  EXPECT_FALSE(Excel工作簿1.GetCurrentSheet());
  EXPECT_EQ(CountUsedRows(Excel工作簿1, 1), -1);
  EXPECT_EQ(world_.Calls(), 0u);
}

TEST_F(ComponentTest, FailuresKeepWhatIsHeld) {
  fake::SheetData a, b;
  a.SetText(1, 1, "first");
  b.SetText(1, 1, "second");
  world_.files["w.xlsx"].sheets = {a, b};
  world_.files["bad.xlsx"].open_fails = true;
  Open("w.xlsx");
  EXPECT_EQ(Excel工作簿1.SheetCount(), 2);
  Excel工作簿1.SetCurrentSheet(2);
  Excel工作簿1.SetCurrentSheet(7);  // no such sheet: the second stays current
  EXPECT_EQ(Excel工作簿1.CurrentSheet(), 2);
  EXPECT_EQ(Read("A1"), "second");
  EXPECT_FALSE(Excel工作簿1.OpenWorkbook("bad.xlsx"));
  EXPECT_EQ(Excel工作簿1.LastFailure(), "file is damaged");
  EXPECT_FALSE(Excel工作簿1.OpenWorkbook("missing.xlsx"));
  EXPECT_EQ(Excel工作簿1.LastFailure(), "file not found");
  EXPECT_EQ(Excel工作簿1.SheetCount(), 2) << "the workbook held before stays";
  // A range name the sheet refuses leaves no range held.
  Excel工作簿1.Release();
  Open("w.xlsx");
  Excel工作簿1.SetCurrentSheet(1);
  Excel工作簿1.SetRangeStart("not a cell");
  Excel工作簿1.SetRangeEnd("not a cell");
  EXPECT_EQ(Excel工作簿1.RangeStart(), "");
  Excel工作簿1.SetContent("x");
  EXPECT_FALSE(Excel工作簿1.CellRewritten());
  world_.files["w.xlsx"].save_fails = true;
  EXPECT_FALSE(Excel工作簿1.SaveWorkbook());
  EXPECT_EQ(Excel工作簿1.LastFailure(), "disk is full");
}

TEST_F(ComponentTest, ApplicationOperations) {
  world_.files["w.xlsx"].sheets.resize(1);
  Open("w.xlsx");
  world_.log.clear();
  Excel程序1.SetVisible(true);
  Excel程序1.ActivateWindow();
  Excel程序1.SendKeys("^s", 1);
  Excel程序1.Quit();
  EXPECT_EQ(world_.log, (std::vector<std::string>{"Application.Visible", "Application.ActiveWindow",
                                                   "Window.Activate", "Application.SendKeys",
                                                   "Application.Quit"}));
  EXPECT_EQ(world_.sendkeys, std::vector<std::string>{"^s"});
  EXPECT_EQ(world_.apps_quit, 1);
  EXPECT_FALSE(Excel程序1.Application());
}

}  // namespace
