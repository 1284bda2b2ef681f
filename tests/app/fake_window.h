#pragma once
// A stand-in for the main window: keeps the texts in memory and records the
// message boxes, so portable routines can be tested without a window system.

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
  std::vector<ShownMessage> messages;
  int pending_runs = 0;
  int whole_writes = 0;

  std::string ReadContent(Control control) override { return contents[control]; }
  void WriteContent(Control control, const std::string& text) override {
    ++whole_writes;
    contents[control] = text;
  }
  void AppendContent(Control control, const std::string& text) override { contents[control] += text; }
  std::string ReadCaption() override { return caption; }
  void WriteCaption(const std::string& text) override { caption = text; }
  void RunPendingMessages() override { ++pending_runs; }
  int ShowMessage(const std::string& text, const std::string& box_caption, unsigned flags) override {
    messages.push_back({text, box_caption, flags});
    return kIdOk;
  }
  void* NativeHandle() override { return nullptr; }
  void SetBatchRunning(bool) override {}
};

// Installs a fresh FakeWindow as MainWindow() for the life of the object.
class ScopedFakeWindow {
 public:
  ScopedFakeWindow() { SetMainWindow(&window); }
  ~ScopedFakeWindow() { SetMainWindow(nullptr); }
  FakeWindow window;
};
