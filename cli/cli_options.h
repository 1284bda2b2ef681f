#pragma once
// The console front end's command line.

#include <string>
#include <vector>

#include "spreadsheet/application_source.h"

struct CliOptions {
  std::string folder;   // in the tool's text encoding, as the window's 编辑框1 holds it
  std::string find;     // 编辑框3
  std::string replace;  // 编辑框4
  EngineChoice engine = EngineChoice::Auto;
  bool dry_run = false;
  bool quiet = false;
  bool allow_empty_find = false;
  bool help = false;
  bool find_given = false;     // --find was on the command line (perhaps empty)
  bool replace_given = false;  // --replace likewise
};

// Reads the arguments after the program name. Both "--name value" and
// "--name=value" are taken. Returns false with a one-line reason (UTF-8) in
// *error for an argument it cannot read. What must be there (the folder, the
// texts) and the empty-search rule are checked by CheckCliOptions.
bool ParseCliArguments(const std::vector<std::string>& args, CliOptions* options, std::string* error);

// false with the reason when a needed argument is missing: --find, --replace.
// The folder is checked by the caller, which owns the window's message for it.
bool CheckCliTexts(const CliOptions& options, std::string* error);

// The --help text (UTF-8).
std::string CliUsage();
