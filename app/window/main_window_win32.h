#pragma once
// The Win32 main window: creation, the message loop's per-message step and
// the window's MainWindowPort.

#include <windows.h>

#include <string>

// The initial caption in UTF-8 (converted at run time).
extern const char kInitialCaptionUtf8[];

// Creates the window and its controls (hidden) and makes it the process-wide
// MainWindow(). Returns null when the system refuses.
HWND CreateMainWindow(HINSTANCE instance);

// Shows the window centred and puts the keyboard focus on the batch button.
void ShowMainWindow(HWND window, int show);

// The message loop's step for one retrieved message: the dialog keys (Tab,
// Shift+Tab, Esc) first, then translate and dispatch.
void DispatchOneMessage(MSG& message);

// Runs the message loop until the quit message; returns its exit value.
int RunMessageLoop();

// Handle of a control by its identifier (window_ids.h); null when gone.
HWND ControlWindow(int id);
