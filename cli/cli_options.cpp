#include "cli/cli_options.h"

namespace {

bool TakesValue(const std::string& name) {
  return name == "--folder" || name == "--find" || name == "--replace" || name == "--engine";
}

}  // namespace

bool ParseCliArguments(const std::vector<std::string>& args, CliOptions* options, std::string* error) {
  CliOptions parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool inline_value = false;
    if (name.compare(0, 2, "--") == 0) {
      size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name = name.substr(0, eq);
        inline_value = true;
      }
    }
    if (name == "--help" || name == "-h") {
      parsed.help = true;
      continue;
    }
    if (TakesValue(name)) {
      if (!inline_value) {
        if (i + 1 >= args.size()) {
          *error = name + " needs a value";
          return false;
        }
        value = args[++i];
      }
      if (name == "--folder") {
        parsed.folder = value;
      } else if (name == "--find") {
        parsed.find = value;
        parsed.find_given = true;
      } else if (name == "--replace") {
        parsed.replace = value;
        parsed.replace_given = true;
      } else if (value == "auto") {
        parsed.engine = EngineChoice::Auto;
      } else if (value == "builtin") {
        parsed.engine = EngineChoice::Builtin;
      } else if (value == "excel") {
        parsed.engine = EngineChoice::Excel;
      } else {
        *error = "--engine takes auto, builtin or excel, not \"" + value + "\"";
        return false;
      }
      continue;
    }
    if (inline_value) {
      *error = name + " takes no value";
      return false;
    }
    if (name == "--dry-run") {
      parsed.dry_run = true;
    } else if (name == "--quiet" || name == "-q") {
      parsed.quiet = true;
    } else if (name == "--allow-empty-find") {
      parsed.allow_empty_find = true;
    } else {
      *error = "unknown argument \"" + args[i] + "\"";
      return false;
    }
  }
  *options = parsed;
  return true;
}

bool CheckCliTexts(const CliOptions& options, std::string* error) {
  if (!options.find_given) {
    *error = "--find is required (the text to look for in each cell)";
    return false;
  }
  // A forgotten --replace must not quietly blank every matching cell.
  if (!options.replace_given) {
    *error = "--replace is required (the text a matching cell becomes; --replace \"\" empties it)";
    return false;
  }
  return true;
}

std::string CliUsage() {
  return
      "Usage: cellsweep-cli --folder DIR --find TEXT --replace TEXT\n"
      "                     [--engine auto|builtin|excel] [--dry-run] [--quiet]\n"
      "                     [--allow-empty-find]\n"
      "\n"
      "Rewrites cells across every workbook under DIR: each cell whose text contains\n"
      "TEXT (case-sensitive) becomes the whole replacement text, centred and shrunk\n"
      "to fit. Only workbooks with a rewritten cell are saved; others keep their bytes.\n"
      "\n"
      "  --folder DIR        the folder to walk: every file in it and its sub-folders,\n"
      "                      a folder's own files before its sub-folders\n"
      "  --find TEXT         the text to look for in each cell's text\n"
      "  --replace TEXT      what a matching cell becomes (\"\" empties it)\n"
      "  --engine NAME       auto (default): the spreadsheet application where one can\n"
      "                      be created (Windows), else the built-in engine;\n"
      "                      builtin: the built-in .xlsx/.xlsm engine only;\n"
      "                      excel: the spreadsheet application only (Windows only)\n"
      "  --dry-run           do everything but save, and list each cell that would\n"
      "                      change (file, sheet, cell, old text); no file is written\n"
      "  --quiet             print only the summary and errors\n"
      "  --allow-empty-find  run with an empty --find, which rewrites every non-empty\n"
      "                      cell; without it an empty --find is refused\n"
      "  --help              this text\n"
      "\n"
      "Output: one line per file found, progress per file (\"3/10 path\"; on a terminal\n"
      "one updating line with a bar), then a summary: files processed, cells\n"
      "rewritten, files changed, files unchanged, files failed with the reason for\n"
      "each, and the end text \"已经完毕！\".\n"
      "\n"
      "Exit codes: 0 every file processed; 1 some files failed (could not be opened\n"
      "or saved, e.g. not a workbook, encrypted, read-only); 2 usage error (bad\n"
      "argument, empty or missing folder \"错误，搜索目录不能为空\", folder not found,\n"
      "empty --find without --allow-empty-find, --engine excel off Windows).\n"
      "\n"
      "Example:\n"
      "  cellsweep-cli --folder ~/reports --find 草稿 --replace 定稿 --dry-run\n";
}
