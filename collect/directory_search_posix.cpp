#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include "collect/directory_search.h"

const char kPathSeparator = '/';

DirectorySearch::DirectorySearch(const std::string& folder, const std::string& pattern, Kind kind)
    : folder_(folder), pattern_(pattern), kind_(kind) {}

DirectorySearch::~DirectorySearch() { Close(); }

void DirectorySearch::Close() {
  if (handle_ != nullptr) {
    closedir(static_cast<DIR*>(handle_));
    handle_ = nullptr;
  }
  finished_ = true;
}

namespace {

enum class EntryKind { kFile, kFolder, kOther };

EntryKind KindOf(const std::string& path, unsigned char d_type) {
  if (d_type == DT_DIR) return EntryKind::kFolder;
  if (d_type == DT_REG) return EntryKind::kFile;
  struct stat own;
  if (lstat(path.c_str(), &own) != 0) return EntryKind::kOther;
  if (S_ISDIR(own.st_mode)) return EntryKind::kFolder;
  if (S_ISREG(own.st_mode)) return EntryKind::kFile;
  if (S_ISLNK(own.st_mode)) {
    // A link to a file is that file. A link to a folder is not followed: it
    // may point back up the tree.
    struct stat target;
    if (stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode)) return EntryKind::kFile;
  }
  // Pipes, sockets and devices are no workbooks: opening a pipe would block.
  return EntryKind::kOther;
}

}  // namespace

std::string DirectorySearch::Next() {
  while (!finished_) {
    if (!started_) {
      started_ = true;
      handle_ = opendir(folder_.c_str());
      if (handle_ == nullptr) break;
    }
    struct dirent* entry = readdir(static_cast<DIR*>(handle_));
    if (entry == nullptr) break;
    std::string name = entry->d_name;
    if (pattern_ != "*.*" && fnmatch(pattern_.c_str(), name.c_str(), 0) != 0) continue;
    EntryKind kind = KindOf(folder_ + name, entry->d_type);
    if (kind == EntryKind::kFolder ? kind_ == kFolders : (kind == EntryKind::kFile && kind_ == kFiles)) {
      return name;
    }
  }
  Close();
  return std::string();
}
