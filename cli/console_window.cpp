#include "cli/console_window.h"

#include "cli/console_text.h"
#include "text/encoding.h"

ConsoleWindow::ConsoleWindow(std::FILE* out, std::FILE* err, bool echo_list, bool answer_ok)
    : out_(out), err_(err), echo_list_(echo_list), answer_ok_(answer_ok) {}

std::string ConsoleWindow::ReadContent(Control control) { return content_[control]; }

void ConsoleWindow::WriteContent(Control control, const std::string& text) {
  content_[control] = text;
  if (control == Control::编辑框2) {
    // The window shows the whole new text from its first line: so does the console.
    pending_line_.clear();
    EchoList(text);
  }
}

void ConsoleWindow::AppendContent(Control control, const std::string& text) {
  content_[control] += text;
  if (control == Control::编辑框2) EchoList(text);
}

void ConsoleWindow::EchoList(const std::string& text) {
  if (!echo_list_) return;
  pending_line_ += ToUtf8(text);
  size_t start = 0;
  for (size_t end; (end = pending_line_.find('\n', start)) != std::string::npos; start = end + 1) {
    size_t stop = end;
    if (stop > start && pending_line_[stop - 1] == '\r') --stop;
    WriteText(out_, pending_line_.substr(start, stop - start) + "\n");
  }
  pending_line_.erase(0, start);
}

void ConsoleWindow::FlushList() {
  if (!pending_line_.empty()) WriteText(out_, pending_line_ + "\n");
  pending_line_.clear();
  std::fflush(out_);
}

std::string ConsoleWindow::ReadCaption() { return caption_; }

void ConsoleWindow::WriteCaption(const std::string& caption) { caption_ = caption; }

int ConsoleWindow::ShowMessage(const std::string& text, const std::string& caption, unsigned flags) {
  FlushList();
  unsigned icon = flags & 0xF0;
  bool trouble = icon == kMbIconError || icon == kMbIconWarning;
  std::FILE* stream = trouble ? err_ : out_;
  std::string line = ToUtf8(text);
  std::string title = ToUtf8(caption);
  if (!title.empty()) line = title + " " + line;
  if ((flags & 0xF) == kMbOkCancel) {
    line += answer_ok_ ? "  -> OK (--allow-empty-find)" : "  -> Cancel";
    WriteText(stream, line + "\n");
    std::fflush(stream);
    return answer_ok_ ? kIdOk : kIdCancel;
  }
  WriteText(stream, line + "\n");
  std::fflush(stream);
  return kIdOk;
}
