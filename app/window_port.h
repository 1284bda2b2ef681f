#pragma once
// The main window as the tool's routines see it. The Win32 window implements
// it; the console front end and the tests stand in for it.

#include <string>

enum class Control { 编辑框1, 编辑框2, 编辑框3, 编辑框4 };

// Message box flags and answers, with the Win32 values.
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbOkCancel = 0x1;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconWarning = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbDefButton2 = 0x100;
constexpr unsigned kMbTaskModal = 0x2000;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

class MainWindowPort {
 public:
  virtual ~MainWindowPort() = default;

  // A copy of the control's text; empty for an empty box.
  virtual std::string ReadContent(Control control) = 0;
  // Replaces the control's whole text; the box then shows its first line.
  virtual void WriteContent(Control control, const std::string& text) = 0;
  // Adds text at the end of the control's text without rewriting the rest;
  // what the user sees is as after WriteContent(control, old + text).
  virtual void AppendContent(Control control, const std::string& text) = 0;
  virtual std::string ReadCaption() = 0;
  virtual void WriteCaption(const std::string& caption) = 0;
  // Handles every message already waiting; never waits.
  virtual void RunPendingMessages() = 0;
  // A message box without owner; flags as MessageBoxA's. Returns kIdOk, kIdCancel...
  virtual int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // The native window handle (HWND) on Windows, null where there is none.
  virtual void* NativeHandle() = 0;
  // Greys the batch button while a batch runs, and back.
  virtual void SetBatchRunning(bool running) = 0;
};

// The process-wide window. Set once at start-up (or by a test).
MainWindowPort& MainWindow();
void SetMainWindow(MainWindowPort* window);

// The caption counter: caption := RealToText(TextToReal(caption) + 1).
void BumpTitleCounter();
