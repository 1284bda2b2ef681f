#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/file_list.h"
#include "app/window_port.h"
#include "replace/batch.h"
#include "spreadsheet/excel_component.h"
#include "tests/support/fake_window.h"
#include "tests/spreadsheet/fake_excel.h"
#include "text/encoding.h"

namespace {

const int kCentre = -4108;

class Recorder : public BatchObserver {
 public:
  std::vector<std::string> events;
  std::vector<std::string> captions_at_start;
  void FileStarted(int number, int count, const std::string& path) override {
    events.push_back("start " + std::to_string(number) + "/" + std::to_string(count) + " " + path);
    captions_at_start.push_back(MainWindow().ReadCaption());
  }
  void CellMatched(const std::string& path, const std::string& sheet, const std::string& cell,
                   const std::string& old_text) override {
    events.push_back("match " + path + " " + sheet + "!" + cell + " " + old_text);
  }
  void FileFinished(int number, const std::string& path, int cells, const std::string& failure) override {
    events.push_back("end " + std::to_string(number) + " " + path + " " + std::to_string(cells) +
                     (failure.empty() ? "" : " " + failure));
  }
};

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FileList.Free();
    SetMainWindow(&window_);
    fake::UseFakeApplications(&world_, &no_application_, "no spreadsheet application");
  }
  void TearDown() override {
    Excel工作簿1.Release();
    Excel程序1.Release();
    SetApplicationFactory(nullptr);
    FileList.Free();
  }
  fake::SheetData& AddFile(const std::string& path, int sheets = 1) {
    world_.files[path].sheets.resize(static_cast<size_t>(sheets));
    for (int i = 0; i < sheets; ++i) world_.files[path].sheets[static_cast<size_t>(i)].name = "S" + std::to_string(i + 1);
    FileList.Append(path);
    return world_.files[path].sheets[0];
  }
  BatchReport Run(const std::string& search, const std::string& replacement, BatchOptions options = BatchOptions()) {
    window_.contents[Control::编辑框3] = search;
    window_.contents[Control::编辑框4] = replacement;
    options.observer = &recorder_;
    return RunBatch(options);
  }
  const fake::SheetData& Saved(const std::string& path, int sheet = 1) {
    return world_.files[path].sheets[static_cast<size_t>(sheet - 1)];
  }

  fake::World world_;
  FakeWindow window_;
  Recorder recorder_;
  bool no_application_ = false;
};

TEST_F(BatchTest, MatchingRules) {
  std::string zhongwen = FromUtf8("中文");
  struct Case {
    const char* name;
    std::string cell, search;
    bool rewritten;
  } cases[] = {
      {"substring", "xabcx", "abc", true},
      {"case differs", "abc", "ABC", false},
      {"whole text", "abc", "abc", true},
      {"double-byte", FromUtf8("一个中文字"), zhongwen, true},
      {"bytes across two characters", zhongwen, zhongwen.substr(1, 2), false},
      {"not there", "abc", "x", false},
  };
  int n = 0;
  for (const auto& c : cases) {
    std::string path = "m" + std::to_string(++n) + ".xlsx";
    FileList.Free();
    AddFile(path).SetText(1, 1, c.cell);
    Run(c.search, "R");
    const fake::SheetData& s = Saved(path);
    if (c.rewritten) {
      EXPECT_EQ(s.Text(1, 1), "R") << c.name;
      EXPECT_EQ(s.formats.at({1, 1}).alignment, kCentre) << c.name;
      EXPECT_EQ(s.formats.at({1, 1}).shrink, 1) << c.name;
    } else {
      EXPECT_EQ(s.Text(1, 1), c.cell) << c.name;
      EXPECT_EQ(world_.files[path].saves, 0) << c.name;
    }
  }
}

TEST_F(BatchTest, NumbersMatchByTheirText) {
  fake::SheetData& s = AddFile("n.xlsx");
  s.Set(1, 1, Variant::MakeInteger(123));
  s.Set(1, 2, Variant::MakeInteger(456));
  Run("2", "two");
  EXPECT_EQ(Saved("n.xlsx").Text(1, 1), "two");
  EXPECT_EQ(Saved("n.xlsx").cells.at({1, 2}).integer, 456);
}

TEST_F(BatchTest, EmptySearchAsksFirst) {
  for (int answer : {kIdCancel, kIdOk}) {
    world_ = fake::World();
    FileList.Free();
    window_ = FakeWindow();
    window_.answers = {answer};
    fake::SheetData& s = AddFile("e.xlsx");
    s.SetText(1, 1, "a");
    s.SetText(2, 2, "b");
    BatchReport report = Run("", "R");
    ASSERT_FALSE(window_.messages.empty());
    const ShownMessage& question = window_.messages[0];
    EXPECT_EQ(question.caption, FromUtf8("信息："));
    EXPECT_EQ(question.flags, kMbOkCancel | kMbIconWarning | kMbDefButton2 | kMbTaskModal);
    if (answer == kIdCancel) {
      EXPECT_TRUE(report.ignored);
      EXPECT_EQ(world_.apps_created, 0);
      EXPECT_TRUE(window_.captions.empty());
      EXPECT_EQ(window_.messages.size(), 1u) << "no end box after Cancel";
      EXPECT_EQ(Saved("e.xlsx").Text(1, 1), "a");
    } else {
      EXPECT_FALSE(report.ignored);
      EXPECT_EQ(Saved("e.xlsx").Text(1, 1), "R");
      EXPECT_EQ(Saved("e.xlsx").Text(2, 2), "R");
      EXPECT_EQ(Saved("e.xlsx").Text(1, 2), "") << "empty cells stay empty";
      EXPECT_EQ(Saved("e.xlsx").Text(2, 1), "");
      EXPECT_EQ(report.cells_rewritten, 2);
    }
  }
}

TEST_F(BatchTest, SearchBoxEmptiedDuringTheRunMatchesNothing) {
  fake::SheetData& s = AddFile("t.xlsx");
  s.SetText(1, 1, "x");
  s.SetText(1, 2, "x");
  s.SetText(1, 3, "x");
  // The user empties the search box after the first cell, then types y.
  int visits = 0;
  window_.on_pending = [this, &visits] {
    ++visits;
    if (visits == 1) window_.contents[Control::编辑框3] = "";
  };
  Run("x", "R");
  EXPECT_EQ(Saved("t.xlsx").Text(1, 1), "R");
  EXPECT_EQ(Saved("t.xlsx").Text(1, 2), "x");
  EXPECT_EQ(Saved("t.xlsx").Text(1, 3), "x");
  EXPECT_EQ(window_.messages.size(), 1u) << "no question in the middle of a run";
}

TEST_F(BatchTest, ScansFromA1ToTheLastUsedRowAndColumn) {
  fake::SheetData& s = AddFile("c5.xlsx", 2);
  for (int r = 5; r <= 10; ++r)
    for (int c = 3; c <= 6; ++c) s.SetText(r, c, "v");
  world_.files["c5.xlsx"].sheets[1].chart = true;  // visited without a cell
  BatchReport report = Run("v", "R");
  int rewritten = 0;
  for (int r = 5; r <= 10; ++r)
    for (int c = 3; c <= 6; ++c) rewritten += Saved("c5.xlsx").Text(r, c) == "R";
  EXPECT_EQ(rewritten, 24) << "F10 lies beyond the first 6 rows and 4 columns";
  EXPECT_EQ(report.cells_rewritten, 24);
  EXPECT_TRUE(report.failures.empty());
}

TEST_F(BatchTest, CaptionCountsFilesAndTheEndBoxSaysDone) {
  for (const char* p : {"a.xlsx", "b.xlsx", "c.xlsx"}) AddFile(p).SetText(1, 1, "k");
  BatchReport report = Run("k", "R");
  EXPECT_EQ(window_.captions, (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(recorder_.captions_at_start, (std::vector<std::string>{"1", "2", "3"}));
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text, FromUtf8("已经完毕！"));
  EXPECT_EQ(window_.messages[0].caption, FromUtf8("信息："));
  EXPECT_EQ(window_.messages[0].flags, kMbOk | kMbTaskModal);
  EXPECT_EQ(report.files, 3);
  EXPECT_EQ(report.changed, 3);
  EXPECT_EQ(window_.running, (std::vector<bool>{true, false}));
  EXPECT_EQ(recorder_.events[0], "start 1/3 a.xlsx");
  EXPECT_EQ(recorder_.events[1], "match a.xlsx S1!A1 k");
  EXPECT_EQ(recorder_.events[2], "end 1 a.xlsx 1");
}

TEST_F(BatchTest, EmptyFileListStillEnds) {
  BatchReport report = Run("k", "R");
  EXPECT_EQ(window_.captions, std::vector<std::string>{"1"});
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text, FromUtf8("已经完毕！"));
  EXPECT_EQ(report.files, 0);
}

TEST_F(BatchTest, SavesOnlyChangedWorkbooksAndQuitsEveryApplication) {
  AddFile("same.xlsx").SetText(1, 1, "nothing here");
  AddFile("diff.xlsx").SetText(2, 2, "old text");
  BatchReport report = Run("old", "new");
  EXPECT_EQ(world_.files["same.xlsx"].saves, 0);
  EXPECT_EQ(world_.files["diff.xlsx"].saves, 1);
  EXPECT_EQ(Saved("diff.xlsx").Text(2, 2), "new");
  EXPECT_TRUE(world_.sendkeys.empty()) << "no keystroke goes to whatever window has the focus";
  EXPECT_EQ(world_.apps_created, 2);
  EXPECT_EQ(world_.apps_quit, 2);
  EXPECT_EQ(report.changed, 1);
  EXPECT_EQ(report.unchanged, 1);
}

TEST_F(BatchTest, DryRunWritesNothing) {
  AddFile("d.xlsx").SetText(3, 1, "old");
  BatchOptions options;
  options.dry_run = true;
  BatchReport report = Run("old", "new", options);
  EXPECT_EQ(world_.files["d.xlsx"].saves, 0);
  for (const auto& p : world_.puts) EXPECT_EQ(p.find("Range."), std::string::npos) << p;
  EXPECT_EQ(report.cells_rewritten, 1);
  EXPECT_EQ(report.changed, 1);
  EXPECT_EQ(recorder_.events[1], "match d.xlsx S1!A3 old");
}

TEST_F(BatchTest, FailuresAreReportedNotHidden) {
  AddFile("good.xlsx").SetText(1, 1, "x");
  FileList.Append("missing.xlsx");
  AddFile("damaged.xlsx");
  world_.files["damaged.xlsx"].open_fails = true;
  AddFile("full.xlsx").SetText(1, 1, "x");
  world_.files["full.xlsx"].save_fails = true;
  AddFile("locked.xlsx").SetText(1, 1, "x");
  world_.files["locked.xlsx"].value_put_fails = true;
  BatchReport report = Run("x", "R");
  ASSERT_EQ(report.failures.size(), 4u);
  EXPECT_EQ(report.failures[0].path, "missing.xlsx");
  EXPECT_EQ(report.failures[0].reason, "file not found");
  EXPECT_EQ(report.failures[1].path, "damaged.xlsx");
  EXPECT_EQ(report.failures[1].reason, "file is damaged");
  EXPECT_EQ(report.failures[2].path, "full.xlsx");
  EXPECT_NE(report.failures[2].reason.find("disk is full"), std::string::npos);
  EXPECT_EQ(report.failures[3].path, "locked.xlsx");
  EXPECT_NE(report.failures[3].reason.find("could not be rewritten"), std::string::npos);
  EXPECT_EQ(report.changed, 1);
  EXPECT_EQ(window_.captions.back(), "6");
  EXPECT_EQ(world_.apps_quit, world_.apps_created);
  ASSERT_EQ(window_.messages.size(), 1u);
  const ShownMessage& box = window_.messages[0];
  EXPECT_EQ(box.flags, kMbIconWarning | kMbTaskModal);
  EXPECT_EQ(box.text.find(FromUtf8("已经完毕！")), 0u);
  EXPECT_NE(box.text.find(FromUtf8("有 4 个文件")), std::string::npos) << box.text;
  for (const char* p : {"missing.xlsx", "damaged.xlsx", "full.xlsx", "locked.xlsx"})
    EXPECT_NE(box.text.find(p), std::string::npos) << p;
}

// A workbook that cannot be saved (read-only, disk full) changed nothing on
// disk: its cells are not counted as rewritten, in the report or to the observer.
TEST_F(BatchTest, CellsCountOnlyInSavedWorkbooks) {
  AddFile("saved.xlsx").SetText(1, 1, "x");
  fake::SheetData& readonly = AddFile("readonly.xlsx");
  readonly.SetText(1, 1, "x");
  readonly.SetText(2, 1, "x");
  world_.files["readonly.xlsx"].save_fails = true;
  BatchReport report = Run("x", "R");
  EXPECT_EQ(Saved("readonly.xlsx").Text(1, 1), "x");
  EXPECT_EQ(Saved("saved.xlsx").Text(1, 1), "R");
  EXPECT_EQ(report.cells_rewritten, 1);
  EXPECT_EQ(report.changed, 1);
  EXPECT_EQ(report.unchanged, 0);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(report.failures[0].path, "readonly.xlsx");
  EXPECT_EQ(recorder_.events.back(), "end 2 readonly.xlsx 0 could not be saved: disk is full");
  EXPECT_EQ(recorder_.events[2], "end 1 saved.xlsx 1");

  // A dry run saves nothing, and counts every cell that would be rewritten.
  recorder_.events.clear();
  BatchOptions dry;
  dry.dry_run = true;
  report = Run("x", "R", dry);
  EXPECT_EQ(report.cells_rewritten, 2) << "saved.xlsx already says R";
  EXPECT_EQ(recorder_.events.back(), "end 2 readonly.xlsx 2");
}

TEST_F(BatchTest, ManyFailuresNameTheFirstFew) {
  no_application_ = true;
  for (int i = 1; i <= 8; ++i) FileList.Append("f" + std::to_string(i) + ".xlsx");
  BatchReport report = Run("x", "R");
  ASSERT_EQ(report.failures.size(), 8u);
  EXPECT_EQ(report.failures[0].reason, "no spreadsheet application");
  EXPECT_EQ(window_.captions.back(), "9");
  const std::string& text = window_.messages.at(0).text;
  EXPECT_NE(text.find(FromUtf8("有 8 个文件")), std::string::npos);
  EXPECT_NE(text.find("f5.xlsx"), std::string::npos);
  EXPECT_EQ(text.find("f6.xlsx"), std::string::npos);
}

TEST_F(BatchTest, NestedClickIsIgnored) {
  AddFile("a.xlsx").SetText(1, 1, "x");
  AddFile("b.xlsx").SetText(1, 1, "x");
  int nested = 0;
  BatchReport inner;
  window_.on_pending = [&] {
    if (nested++ == 0) {
      RunBatchReplace();  // the button clicked again mid-run
      inner = RunBatch(BatchOptions());
    }
  };
  BatchReport report = Run("x", "R");
  EXPECT_TRUE(inner.ignored);
  EXPECT_FALSE(report.ignored);
  EXPECT_EQ(world_.apps_created, 2);
  EXPECT_EQ(window_.captions, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(world_.files["a.xlsx"].saves, 1);
  EXPECT_EQ(world_.files["b.xlsx"].saves, 1);
  // Once the batch is over the button works again.
  window_.on_pending = nullptr;
  EXPECT_FALSE(Run("x", "R").ignored);
}

TEST_F(BatchTest, TypingDuringTheRunAppliesToLaterCells) {
  fake::SheetData& s = AddFile("t.xlsx");
  s.SetText(1, 1, "x");
  s.SetText(1, 2, "x");
  int visits = 0;
  window_.on_pending = [this, &visits] {
    if (++visits == 1) window_.contents[Control::编辑框4] = "later";
  };
  Run("x", "first");
  EXPECT_EQ(Saved("t.xlsx").Text(1, 1), "first");
  EXPECT_EQ(Saved("t.xlsx").Text(1, 2), "later");
}

// Against an out-of-process server every late-bound call is a round trip: a
// cell that does not match must cost none, a row at most its three-call
// measurement, a matching cell at most eight.
TEST_F(BatchTest, RoundTripsPerRowAndCell) {
  const int rows = 2000, columns = 20;
  fake::SheetData& s = AddFile("big.xlsx");
  int matches = 0;
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c <= columns; ++c) {
      bool match = ((r - 1) * columns + c) % 100 == 0;
      s.SetText(r, c, match ? "has needle" : "hay " + std::to_string(r * c));
      matches += match;
    }
  std::vector<size_t> at_visit;
  window_.on_pending = [this, &at_visit] { at_visit.push_back(world_.Calls()); };
  size_t start = 0;
  recorder_.events.clear();
  struct StartMark : BatchObserver {
    fake::World* w;
    size_t* start;
    void FileStarted(int, int, const std::string&) override { *start = w->Calls(); }
  } mark;
  mark.w = &world_;
  mark.start = &start;
  window_.contents[Control::编辑框3] = "needle";
  window_.contents[Control::编辑框4] = "R";
  BatchOptions options;
  options.observer = &mark;
  BatchReport report = RunBatch(options);
  ASSERT_EQ(report.cells_rewritten, matches);
  ASSERT_EQ(at_visit.size(), static_cast<size_t>(rows * columns + 1));  // every cell, then the sheet's end
  size_t previous = 0;
  for (size_t i = 0; i < static_cast<size_t>(rows * columns); ++i) {
    size_t cost = at_visit[i] - (i == 0 ? start : previous);
    previous = at_visit[i];
    int r = static_cast<int>(i) / columns + 1, c = static_cast<int>(i) % columns + 1;
    bool match = ((r - 1) * columns + c) % 100 == 0;
    size_t allowed = (c == 1 ? 3u : 0u) + (match ? 8u : 0u) + (i == 0 ? 40u : 0u);
    ASSERT_LE(cost, allowed) << "cell " << r << "," << c;
  }
  size_t total = world_.Calls() - start;
  double per_visited = static_cast<double>(total) / (rows * columns);
  std::printf("round trips: %zu in all; %.3f per row, %.3f per visited cell, %d matching cells\n", total,
              static_cast<double>(total) / rows, per_visited, matches);
  EXPECT_LE(per_visited, 0.2);
}

}  // namespace
