#include "cli/run_cli.h"

#include <cstdio>
#include <memory>

#include "app/file_list.h"
#include "app/window_port.h"
#include "cli/cli_options.h"
#include "cli/console_platform.h"
#include "cli/console_progress.h"
#include "cli/console_text.h"
#include "cli/console_window.h"
#include "collect/collect_files.h"
#include "replace/batch.h"
#include "spreadsheet/application_source.h"
#include "text/encoding.h"

namespace {

int UsageError(const std::string& utf8) {
  WriteText(stderr, utf8 + "\n");
  return 2;
}

}  // namespace

int RunCli(const std::vector<std::string>& args) {
  std::vector<std::string> utf8_args;
  for (const std::string& a : args) utf8_args.push_back(ToUtf8(a));
  CliOptions options;
  std::string error;
  if (!ParseCliArguments(utf8_args, &options, &error)) {
    return UsageError("cellsweep-cli: " + error + "\nTry: cellsweep-cli --help");
  }
  if (options.help) {
    WriteText(stdout, CliUsage());
    return 0;
  }
  // The window's own text for an empty folder, then a plain hint.
  if (options.folder.empty()) return UsageError("错误，搜索目录不能为空\ncellsweep-cli: give the folder with --folder DIR");
  switch (ProbeFolder(FromUtf8(options.folder))) {
    case FolderState::Missing:
      return UsageError("cellsweep-cli: folder not found: " + options.folder);
    case FolderState::NotFolder:
      return UsageError("cellsweep-cli: not a folder: " + options.folder);
    case FolderState::Folder:
      break;
  }
  if (!CheckCliTexts(options, &error)) return UsageError("cellsweep-cli: " + error + "\nTry: cellsweep-cli --help");
  if (options.engine == EngineChoice::Excel && !AutomationPossible()) {
    return UsageError(
        "cellsweep-cli: --engine excel drives the spreadsheet application by automation, which only "
        "Windows has; use --engine builtin (or auto) here");
  }
  if (options.find.empty() && !options.allow_empty_find) {
    return UsageError(
        "cellsweep-cli: the search text is empty: it would overwrite every non-empty cell of every "
        "workbook. Refused; give --allow-empty-find to do exactly that.");
  }

  ConsoleStart();
  SetEngineChoice(options.engine);
  // Lives to the end of the process: the window is reachable from anywhere until exit.
  static std::unique_ptr<ConsoleWindow> window;
  window.reset(new ConsoleWindow(stdout, stderr, !options.quiet, options.allow_empty_find));
  window->WriteContent(Control::编辑框1, FromUtf8(options.folder));
  window->WriteContent(Control::编辑框3, FromUtf8(options.find));
  window->WriteContent(Control::编辑框4, FromUtf8(options.replace));
  SetMainWindow(window.get());

  CollectFiles(window->ReadContent(Control::编辑框1), "");
  window->FlushList();

  bool terminal = StdoutIsTerminal();
  ConsoleProgress progress(stdout, terminal, terminal ? TerminalColumns() : 0, options.quiet, options.dry_run);
  BatchOptions batch;
  batch.dry_run = options.dry_run;
  batch.ask_on_empty_search = true;  // answered by the console from --allow-empty-find
  batch.show_end_box = false;        // the summary below says all the box would, and more
  batch.observer = &progress;
  BatchReport report = RunBatch(batch);
  progress.Finish();

  int code = report.failures.empty() ? 0 : 1;
  if (report.ignored) {
    WriteText(stderr, "cellsweep-cli: the batch did not run\n");
    code = 2;
  } else {
    WriteText(stdout, (options.quiet ? "" : "\n") + FormatSummary(report, options.dry_run));
  }
  std::fflush(stdout);
  ConsoleStop();
  return code;
}
