#include "app/window_port.h"

#include "app/fatal.h"
#include "text/encoding.h"
#include "text/text.h"

namespace {
MainWindowPort* current = nullptr;
}  // namespace

MainWindowPort& MainWindow() {
  if (current == nullptr) FatalError(FromUtf8("主窗口不存在。"));
  return *current;
}

void SetMainWindow(MainWindowPort* window) { current = window; }

void BumpTitleCounter() {
  MainWindowPort& window = MainWindow();
  window.WriteCaption(RealToText(TextToReal(window.ReadCaption()) + 1));
}
