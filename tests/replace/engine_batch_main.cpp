// Runs the batch over the built-in engine with a stand-in window, for the
// workbook checker: the texts come in as hex of their UTF-8 bytes (so no
// command-line code page stands in the way), the files as arguments; what
// the window saw and the report go to stdout, one item a line, in UTF-8.
//
//   engine_batch SEARCH_HEX REPLACEMENT_HEX [--dry-run] [--cancel] [--auto] FILE...
//
// --auto takes the application as the tool does by default: the automation
// server where one is registered, else the engine.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/file_list.h"
#include "app/window_port.h"
#include "replace/batch.h"
#include "spreadsheet/application_source.h"
#include "text/encoding.h"

namespace {

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16)));
  return out;
}

std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r') c = '|';
  return s;
}

class StandInWindow : public MainWindowPort {
 public:
  std::string search, replacement, caption = "start";
  int answer = kIdOk;
  std::string ReadContent(Control c) override {
    return c == Control::编辑框3 ? search : c == Control::编辑框4 ? replacement : std::string();
  }
  void WriteContent(Control, const std::string&) override {}
  void AppendContent(Control, const std::string&) override {}
  std::string ReadCaption() override { return caption; }
  void WriteCaption(const std::string& t) override {
    caption = t;
    std::printf("caption %s\n", t.c_str());
  }
  void RunPendingMessages() override {}
  int ShowMessage(const std::string& text, const std::string& cap, unsigned flags) override {
    std::printf("box %u %s %s\n", flags, ToUtf8(cap).c_str(), OneLine(ToUtf8(text)).c_str());
    return answer;
  }
  void* NativeHandle() override { return nullptr; }
  void SetBatchRunning(bool) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: engine_batch SEARCH_HEX REPLACEMENT_HEX [--dry-run] [--cancel] FILE...\n");
    return 2;
  }
  StandInWindow window;
  window.search = FromUtf8(FromHex(argv[1] == std::string("-") ? "" : argv[1]));
  window.replacement = FromUtf8(FromHex(argv[2] == std::string("-") ? "" : argv[2]));
  BatchOptions options;
  EngineChoice choice = EngineChoice::Builtin;
  for (int i = 3; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--dry-run") options.dry_run = true;
    else if (a == "--cancel") window.answer = kIdCancel;
    else if (a == "--auto") choice = EngineChoice::Auto;
    else FileList.Append(a);
  }
  SetMainWindow(&window);
  SetEngineChoice(choice);
  BatchReport report = RunBatch(options);
  for (const auto& f : report.failures) std::printf("failure %s %s\n", f.path.c_str(), OneLine(ToUtf8(f.reason)).c_str());
  std::printf("report files=%d changed=%d unchanged=%d cells=%lld ignored=%d\n", report.files, report.changed,
              report.unchanged, report.cells_rewritten, report.ignored ? 1 : 0);
  return 0;
}
