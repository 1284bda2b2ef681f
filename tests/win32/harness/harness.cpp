#include "tests/win32/harness/harness.h"

#include <commctrl.h>

#include <algorithm>

#include "text/encoding.h"

namespace harness {

namespace {

constexpr UINT kSendTimeoutMs = 10000;

struct EnumState {
  DWORD pid;
  std::vector<HWND> found;
  const char* window_class;
};

BOOL CALLBACK CollectTopLevel(HWND h, LPARAM lp) {
  EnumState* s = reinterpret_cast<EnumState*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == s->pid && IsWindowVisible(h) && ClassOf(h) == s->window_class) s->found.push_back(h);
  return TRUE;
}

std::vector<HWND> TopLevel(DWORD pid, const char* window_class) {
  EnumState s{pid, {}, window_class};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

struct FindChildState {
  const char* window_class;
  HWND found;
};

BOOL CALLBACK FindChildOfClass(HWND h, LPARAM lp) {
  FindChildState* s = reinterpret_cast<FindChildState*>(lp);
  if (ClassOf(h) == s->window_class) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}

HWND Descendant(HWND parent, const char* window_class) {
  FindChildState s{window_class, nullptr};
  EnumChildWindows(parent, FindChildOfClass, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

LRESULT Send(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(h, msg, wp, lp, SMTO_NORMAL, kSendTimeoutMs, &result)) return 0;
  return static_cast<LRESULT>(result);
}

// A buffer in another process for tree-view messages, which carry pointers
// the system does not copy between processes.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_ != nullptr) {
      memory_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
  }
  ~RemoteBuffer() {
    if (memory_ != nullptr) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  bool ok() const { return memory_ != nullptr; }
  char* at(size_t offset) const { return memory_ + offset; }
  bool Write(size_t offset, const void* data, size_t n) const {
    return WriteProcessMemory(process_, memory_ + offset, data, n, nullptr) != 0;
  }
  bool Read(size_t offset, void* data, size_t n) const {
    return ReadProcessMemory(process_, memory_ + offset, data, n, nullptr) != 0;
  }

 private:
  HANDLE process_ = nullptr;
  char* memory_ = nullptr;
  size_t size_;
};

constexpr size_t kTextOffset = 256;
constexpr int kTextMax = 1024;

std::string ItemText(HWND tree, const RemoteBuffer& remote, HTREEITEM item) {
  TVITEMA it = {};
  it.mask = TVIF_TEXT | TVIF_HANDLE;
  it.hItem = item;
  it.pszText = remote.at(kTextOffset);
  it.cchTextMax = kTextMax;
  char zero = 0;
  remote.Write(kTextOffset, &zero, 1);
  if (!remote.Write(0, &it, sizeof(it))) return std::string();
  Send(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.at(0)));
  std::string text(static_cast<size_t>(kTextMax), '\0');
  remote.Read(kTextOffset, &text[0], text.size());
  text.resize(strlen(text.c_str()));
  return text;
}

std::vector<HTREEITEM> Children(HWND tree, HTREEITEM item) {
  Send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  std::vector<HTREEITEM> out;
  HTREEITEM c = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
  while (c != nullptr) {
    out.push_back(c);
    c = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c)));
  }
  return out;
}

// The first child of parent whose text matches, or null. Every text looked at
// goes into *seen, for the failure message.
HTREEITEM MatchingChild(HWND tree, const RemoteBuffer& remote, HTREEITEM parent,
                        const std::function<bool(const std::string&)>& matches, std::string* seen) {
  for (HTREEITEM c : Children(tree, parent)) {
    std::string text = ItemText(tree, remote, c);
    *seen += "[" + Utf8(text) + "]";
    if (matches(text)) return c;
  }
  return nullptr;
}

bool ContainsNoCase(const std::string& text, const std::string& part) {
  std::string a = text, b = part;
  CharUpperBuffA(&a[0], static_cast<DWORD>(a.size()));
  CharUpperBuffA(&b[0], static_cast<DWORD>(b.size()));
  return a.find(b) != std::string::npos;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = path + "\\" + name;
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryA(path.c_str());
}

}  // namespace

std::string Ansi(const std::string& utf8) { return FromUtf8(utf8); }
std::string Utf8(const std::string& ansi) { return ToUtf8(ansi); }

bool WaitUntil(const std::function<bool()>& cond, int timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (cond()) return true;
    if (static_cast<int>(GetTickCount() - start) > timeout_ms) return cond();
    Sleep(20);
  }
}

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  size_t cut = s.find_last_of('\\');
  return cut == std::string::npos ? std::string(".") : s.substr(0, cut);
}

App::~App() {
  if (process_.hProcess != nullptr) {
    if (Running()) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
}

bool App::Launch(const std::string& exe) {
  std::string program = exe.empty() ? ProgramFolder() + "\\cellsweep.exe" : exe;
  std::string command = "\"" + program + "\"";
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) {
    why = "cannot start " + program + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  const DWORD pid = process_.dwProcessId;
  bool found = WaitUntil([&] {
    std::vector<HWND> w = TopLevel(pid, kMainWindowClass);
    if (w.empty()) return false;
    main_ = w.front();
    return true;
  });
  if (!found) {
    why = Running() ? "no main window appeared" : "the program ended at start";
    return false;
  }
  thread_ = GetWindowThreadProcessId(main_, nullptr);
  // The focus is set right after the window is shown.
  WaitUntil([&] { return Focus() != nullptr; }, 5000);
  return true;
}

std::string App::Caption() const { return GetText(main_); }

HWND App::Focus() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(thread_, &info)) return nullptr;
  return info.hwndFocus;
}

std::vector<HWND> App::Dialogs() const { return TopLevel(process_.dwProcessId, "#32770"); }

HWND App::WaitForBrowser(int timeout_ms) const {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND d : Dialogs()) {
          if (Descendant(d, WC_TREEVIEWA) != nullptr) {
            found = d;
            return true;
          }
        }
        return false;
      },
      timeout_ms);
  return found;
}

HWND App::WaitForMessageBox(int timeout_ms) const {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND d : Dialogs()) {
          if (Descendant(d, WC_TREEVIEWA) == nullptr) {
            found = d;
            return true;
          }
        }
        return false;
      },
      timeout_ms);
  return found;
}

void App::Close() const { PostMessageA(main_, WM_CLOSE, 0, 0); }

bool App::Running() const {
  return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD App::WaitForExit(int timeout_ms) {
  if (process_.hProcess == nullptr) return kNoExit;
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) return kNoExit;
  DWORD code = kNoExit;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

std::string GetText(HWND window) {
  LRESULT n = Send(window, WM_GETTEXTLENGTH, 0, 0);
  if (n <= 0) return std::string();
  std::string text(static_cast<size_t>(n) + 1, '\0');
  LRESULT got = Send(window, WM_GETTEXT, static_cast<WPARAM>(n) + 1, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

bool SetText(HWND window, const std::string& ansi) {
  return Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ansi.c_str())) != 0;
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

void PostKey(HWND window, WORD vk) {
  const UINT scan = MapVirtualKeyA(vk, 0);
  PostMessageA(window, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageA(window, WM_KEYUP, vk, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

void TypeChord(HWND main, const std::vector<WORD>& keys) {
  SetForegroundWindow(main);
  std::vector<INPUT> input;
  for (WORD vk : keys) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    input.push_back(in);
  }
  for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = *it;
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    input.push_back(in);
  }
  SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

bool ChooseFolder(HWND browser, const std::string& path, std::string* why) {
  HWND tree = Descendant(browser, WC_TREEVIEWA);
  if (tree == nullptr) {
    *why = "the browser has no folder tree";
    return false;
  }
  RemoteBuffer remote(tree, 4096);
  if (!remote.ok()) {
    *why = "cannot reach the browser's memory";
    return false;
  }
  std::vector<std::string> parts = SplitPath(path);
  if (parts.empty()) {
    *why = "empty path";
    return false;
  }
  HTREEITEM root = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  // The drive sits below the desktop, one or two levels down (My Computer).
  auto is_drive = [&](const std::string& text) { return ContainsNoCase(text, parts[0]); };
  std::string seen;
  HTREEITEM current = MatchingChild(tree, remote, root, is_drive, &seen);
  if (current == nullptr) {
    for (HTREEITEM top : Children(tree, root)) {
      current = MatchingChild(tree, remote, top, is_drive, &seen);
      if (current != nullptr) break;
    }
  }
  if (current == nullptr) {
    *why = "drive " + parts[0] + " not in the tree; seen " + seen;
    return false;
  }
  for (size_t i = 1; i < parts.size(); ++i) {
    seen.clear();
    HTREEITEM next = MatchingChild(
        tree, remote, current,
        [&](const std::string& text) { return lstrcmpiA(text.c_str(), parts[i].c_str()) == 0; }, &seen);
    if (next == nullptr) {
      *why = "folder " + Utf8(parts[i]) + " not in the tree; seen " + seen;
      return false;
    }
    current = next;
  }
  Send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(current));
  Send(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(current));
  HTREEITEM selected = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (selected != current) {
    *why = "the tree did not take the selection";
    return false;
  }
  PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(browser, IDOK)));
  return true;
}

void CancelBrowser(HWND browser) {
  PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(browser, IDCANCEL)));
}

namespace {
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kMessageBoxIconId = 0x440;

struct StaticTexts {
  std::string text;
};
BOOL CALLBACK FindStaticText(HWND h, LPARAM lp) {
  StaticTexts* s = reinterpret_cast<StaticTexts*>(lp);
  if (lstrcmpiA(ClassOf(h).c_str(), "Static") == 0) {
    std::string t = GetText(h);
    if (!t.empty()) {
      s->text = t;
      return FALSE;
    }
  }
  return TRUE;
}
}  // namespace

std::string MessageBoxText(HWND box) {
  HWND text = GetDlgItem(box, kMessageBoxTextId);
  if (text != nullptr) return GetText(text);
  StaticTexts s;
  EnumChildWindows(box, FindStaticText, reinterpret_cast<LPARAM>(&s));
  return s.text;
}

bool MessageBoxHasIcon(HWND box) {
  HWND icon = GetDlgItem(box, kMessageBoxIconId);
  return icon != nullptr && IsWindowVisible(icon) && Send(icon, STM_GETICON, 0, 0) != 0;
}

void AnswerMessageBox(HWND box, int id) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

TestFolder::TestFolder(const std::string& prefix) {
  for (unsigned n = GetCurrentProcessId() * 7919u + GetTickCount();; ++n) {
    path_ = "C:\\" + prefix + "-" + std::to_string(n % 100000000u);
    if (CreateDirectoryA(path_.c_str(), nullptr)) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
}

TestFolder::~TestFolder() { RemoveTree(path_); }

std::string TestFolder::AddFolder(const std::string& rel) {
  std::string p = path_;
  for (const std::string& part : SplitPath(rel)) {
    p += "\\" + part;
    CreateDirectoryA(p.c_str(), nullptr);
  }
  return p;
}

std::string TestFolder::AddFile(const std::string& rel, const std::string& content) {
  size_t cut = rel.find_last_of('\\');
  if (cut != std::string::npos) AddFolder(rel.substr(0, cut));
  std::string p = path_ + "\\" + rel;
  HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(h);
  }
  return p;
}

}  // namespace harness
