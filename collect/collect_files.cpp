#include "collect/collect_files.h"

#include "app/file_list.h"
#include "app/window_port.h"
#include "collect/directory_search.h"
#include "text/char_rules.h"
#include "text/encoding.h"

bool EndsWithSeparator(const std::string& path) {
  // Step character by character: on a Chinese system the second byte of a
  // double-byte character can be 0x5C, which is no backslash.
  const TextRules& rules = CurrentTextRules();
  bool last_is_separator = false;
  for (size_t i = 0; i < path.size();) {
    const size_t n = rules.CharLength(path, i);
    last_is_separator = (n == 1 && path[i] == kPathSeparator);
    i += n;
  }
  return last_is_separator;
}

void CollectFiles(const std::string& folder, const std::string& pattern) {
  MainWindowPort& window = MainWindow();
  if (folder.empty()) {
    window.ShowMessage(FromUtf8("错误，搜索目录不能为空"), FromUtf8("信息："),
                       kMbOk | kMbIconError | kMbTaskModal);
    return;
  }
  const std::string wanted = pattern.empty() ? std::string("*.*") : pattern;
  std::string base = folder;
  if (!EndsWithSeparator(base)) base += kPathSeparator;

  {
    DirectorySearch files(base, wanted, DirectorySearch::kFiles);
    for (std::string name = files.Next(); !name.empty(); name = files.Next()) {
      const std::string path = base + name;
      // Appended, not rewritten whole: a big tree stays linear.
      window.AppendContent(Control::编辑框2, path + "\r\n");
      FileList.Append(path);
      BumpTitleCounter();
      window.RunPendingMessages();
    }
  }

  // The folder search stays open while each sub-folder is walked.
  DirectorySearch folders(base, "*.*", DirectorySearch::kFolders);
  for (std::string name = folders.Next(); !name.empty(); name = folders.Next()) {
    if (name == "." || name == "..") continue;
    CollectFiles(base + name, pattern);
  }
}
