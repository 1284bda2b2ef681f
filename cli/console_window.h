#pragma once
// The console standing in for the main window: the edit boxes hold the
// command line's texts, the file list box prints its lines, message boxes
// print their text, and an OK/Cancel question is answered by the command line.

#include <cstdio>
#include <map>
#include <string>

#include "app/window_port.h"

class ConsoleWindow : public MainWindowPort {
 public:
  // echo_list: print each line added to 编辑框2. answer_ok: the answer to an
  // OK/Cancel question (the command line already decided it).
  ConsoleWindow(std::FILE* out, std::FILE* err, bool echo_list, bool answer_ok);

  std::string ReadContent(Control control) override;
  void WriteContent(Control control, const std::string& text) override;
  void AppendContent(Control control, const std::string& text) override;
  std::string ReadCaption() override;
  void WriteCaption(const std::string& caption) override;
  void RunPendingMessages() override {}
  int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override;
  void* NativeHandle() override { return nullptr; }
  void SetBatchRunning(bool) override {}

  // Prints a list line still waiting for its line end.
  void FlushList();

 private:
  void EchoList(const std::string& text);

  std::FILE* out_;
  std::FILE* err_;
  bool echo_list_;
  bool answer_ok_;
  std::map<Control, std::string> content_;
  std::string caption_;
  std::string pending_line_;  // UTF-8, list text after the last line end
};
