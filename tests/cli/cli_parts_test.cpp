// The console front end's own parts: the command line, fitting a progress
// line, and the console standing in for the window.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/console_text.h"
#include "cli/console_window.h"
#include "text/encoding.h"

namespace {

struct ParseCase {
  std::vector<std::string> args;
  bool ok;
  std::string folder, find, replace;
  EngineChoice engine;
  bool dry_run, quiet, allow_empty;
  std::string error_part;  // a piece of the reason, for the refusals
};

TEST(CliOptions, Table) {
  const EngineChoice A = EngineChoice::Auto;
  std::vector<ParseCase> cases = {
      {{"--folder", "d", "--find", "x", "--replace", "y"}, true, "d", "x", "y", A, false, false, false, ""},
      {{"--folder=d 1", "--find=原", "--replace=新", "--engine=builtin", "--dry-run", "--quiet"},
       true, "d 1", "原", "新", EngineChoice::Builtin, true, true, false, ""},
      {{"--find", "", "--replace", "", "--allow-empty-find", "--engine", "excel", "--folder", "d"},
       true, "d", "", "", EngineChoice::Excel, false, false, true, ""},
      // A value that looks like an option is still the value.
      {{"--folder", "d", "--find", "--quiet", "--replace", "-"}, true, "d", "--quiet", "-", A, false, false, false, ""},
      {{"--folder", "d", "--replace", "y"}, false, "", "", "", A, false, false, false, "--find"},
      {{"--folder", "d", "--find", "x"}, false, "", "", "", A, false, false, false, "--replace"},
      {{"--folder", "d", "--find", "x", "--replace"}, false, "", "", "", A, false, false, false, "needs a value"},
      {{"--folder", "d", "--find", "x", "--replace", "y", "--engine", "calc"}, false, "", "", "", A, false, false,
       false, "calc"},
      {{"--folder", "d", "--find", "x", "--replace", "y", "--force"}, false, "", "", "", A, false, false, false,
       "--force"},
      {{"--folder", "d", "--find", "x", "--replace", "y", "--quiet=1"}, false, "", "", "", A, false, false, false,
       "takes no value"},
      {{"d", "--find", "x", "--replace", "y"}, false, "", "", "", A, false, false, false, "\"d\""},
  };
  for (const ParseCase& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += "[" + a + "]";
    SCOPED_TRACE(joined);
    CliOptions o;
    std::string error;
    ASSERT_EQ(ParseCliArguments(c.args, &o, &error) && CheckCliTexts(o, &error), c.ok) << error;
    if (!c.ok) {
      EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
      continue;
    }
    EXPECT_EQ(o.folder, c.folder);
    EXPECT_EQ(o.find, c.find);
    EXPECT_EQ(o.replace, c.replace);
    EXPECT_EQ(o.engine, c.engine);
    EXPECT_EQ(o.dry_run, c.dry_run);
    EXPECT_EQ(o.quiet, c.quiet);
    EXPECT_EQ(o.allow_empty_find, c.allow_empty);
    EXPECT_FALSE(o.help);
  }
}

TEST(CliOptions, HelpNeedsNothingElseAndNamesEveryOption) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCliArguments({"--help"}, &o, &error));
  EXPECT_TRUE(o.help);
  for (const char* name : {"--folder", "--find", "--replace", "--engine", "auto", "builtin", "excel", "--dry-run",
                           "--quiet", "--allow-empty-find", "已经完毕！", "错误，搜索目录不能为空"}) {
    EXPECT_NE(CliUsage().find(name), std::string::npos) << name;
  }
}

TEST(ConsoleText, FitTailKeepsTheEndAndWholeCharacters) {
  EXPECT_EQ(FitTail("/a/b.xlsx", 20), "/a/b.xlsx");
  EXPECT_EQ(FitTail("/abcdef/b.xlsx", 10), ".../b.xlsx");
  // A character of two columns is kept whole or not at all.
  EXPECT_EQ(FitTail("/目录/报表.xlsx", 10), "...表.xlsx");
  EXPECT_EQ(FitTail("/目录/报表.xlsx", 9), "....xlsx");
  EXPECT_EQ(FitTail("/目录/报表表", 7), "...表表");
  EXPECT_EQ(DisplayWidth("报表a"), 5);
  EXPECT_EQ(OneLine("a\nb\tc"), "a\\nb\\tc");
}

std::string Slurp(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  char buf[256];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}

TEST(ConsoleWindow, ListLinesPrintAsTheyCompleteAndQuestionsTakeTheCommandLinesAnswer) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ASSERT_TRUE(out && err);
  {
    ConsoleWindow w(out, err, true, false);
    w.AppendContent(Control::编辑框2, "/d/a.xlsx\r\n/d/s/");
    w.AppendContent(Control::编辑框2, "b.xlsx\r\n");
    EXPECT_EQ(w.ReadContent(Control::编辑框2), "/d/a.xlsx\r\n/d/s/b.xlsx\r\n");
    // The window's texts are in the tool's encoding (the ANSI code page on Windows).
    EXPECT_EQ(w.ShowMessage("Q?", FromUtf8("信息："), kMbOkCancel | kMbDefButton2), kIdCancel);
    EXPECT_EQ(w.ShowMessage(FromUtf8("错误，搜索目录不能为空"), FromUtf8("信息："), kMbIconError), kIdOk);
    w.WriteCaption("3");
    EXPECT_EQ(w.ReadCaption(), "3");
  }
  EXPECT_EQ(Slurp(out), FromUtf8("/d/a.xlsx\n/d/s/b.xlsx\n信息： Q?  -> Cancel\n"));
  EXPECT_EQ(Slurp(err), FromUtf8("信息： 错误，搜索目录不能为空\n"));
  ConsoleWindow quiet(out, err, false, true);
  EXPECT_EQ(quiet.ShowMessage("Q?", "", kMbOkCancel), kIdOk);
  std::fclose(out);
  std::fclose(err);
}

}  // namespace
