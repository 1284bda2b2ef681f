#include <windows.h>
#include <shlobj.h>

#include "collect/pick_folder.h"
#include "text/text.h"

std::string PickFolder(void* owner, const std::string& title) {
  HWND owner_window = static_cast<HWND>(owner);

  PIDLIST_ABSOLUTE desktop = nullptr;
  SHGetFolderLocation(owner_window, CSIDL_DESKTOP, nullptr, 0, &desktop);

  std::string display = BlankText(260);  // 260 blanks; the string keeps the terminating zero
  std::string title_copy = title;

  BROWSEINFOA info = {};
  info.hwndOwner = owner_window;
  info.pidlRoot = desktop;
  info.pszDisplayName = &display[0];
  info.lpszTitle = title_copy.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_STATUSTEXT | BIF_EDITBOX |
                 BIF_VALIDATE | BIF_NEWDIALOGSTYLE;  // 0x77
  info.lpfn = nullptr;
  info.lParam = 0;
  info.iImage = 0;

  PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);

  const std::string name = TrimBothEnds(std::string(display.c_str()));
  std::string result;
  if (Find(name, "?") != -1) {
    // The ANSI shell gives characters the code page cannot hold as "?":
    // no path could reach such a folder.
  } else if (item != nullptr) {
    std::string path = BlankText(260);
    if (SHGetPathFromIDListA(item, &path[0])) {
      result = path.c_str();
      if (Length(result) == 3) result = Left(result, 2);  // "C:\" -> "C:"
    }
  } else if (!name.empty()) {
    result = "\\\\" + name;
  }

  CoTaskMemFree(item);
  CoTaskMemFree(desktop);
  return result;
}
