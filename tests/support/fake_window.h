#pragma once
// A stand-in main window: boxes in memory, every caption and message box
// recorded, and a hook run whenever a routine lets pending messages run (where
// the user's typing and clicks would arrive). Portable routines are tested
// with it, without a window system.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/window_port.h"

struct ShownMessage {
  std::string text;
  std::string caption;
  unsigned flags;
};

class FakeWindow : public MainWindowPort {
 public:
  std::map<Control, std::string> contents;
  std::string caption;
  std::vector<std::string> captions;  // every caption written, in order
  std::vector<ShownMessage> messages;
  std::vector<int> answers;  // given to message boxes in turn; OK when none is left
  std::function<void()> on_pending;
  std::vector<bool> running;  // SetBatchRunning calls
  int pending_runs = 0;
  int whole_writes = 0;  // WriteContent calls (appends not counted)

  std::string ReadContent(Control c) override { return contents[c]; }
  void WriteContent(Control c, const std::string& t) override {
    ++whole_writes;
    contents[c] = t;
  }
  void AppendContent(Control c, const std::string& t) override { contents[c] += t; }
  std::string ReadCaption() override { return caption; }
  void WriteCaption(const std::string& t) override {
    caption = t;
    captions.push_back(t);
  }
  void RunPendingMessages() override {
    ++pending_runs;
    if (on_pending) on_pending();
  }
  int ShowMessage(const std::string& text, const std::string& cap, unsigned flags) override {
    messages.push_back({text, cap, flags});
    if (answers.empty()) return kIdOk;
    int a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  void* NativeHandle() override { return nullptr; }
  void SetBatchRunning(bool r) override { running.push_back(r); }
};

// Installs a fresh FakeWindow as MainWindow() for the life of the object.
class ScopedFakeWindow {
 public:
  ScopedFakeWindow() { SetMainWindow(&window); }
  ~ScopedFakeWindow() { SetMainWindow(nullptr); }
  FakeWindow window;
};
