#include <windows.h>

#include "collect/directory_search.h"

const char kPathSeparator = '\\';

DirectorySearch::DirectorySearch(const std::string& folder, const std::string& pattern, Kind kind)
    : folder_(folder), pattern_(pattern), kind_(kind) {}

DirectorySearch::~DirectorySearch() { Close(); }

void DirectorySearch::Close() {
  if (handle_ != nullptr) {
    FindClose(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
  }
  finished_ = true;
}

std::string DirectorySearch::Next() {
  WIN32_FIND_DATAA found;
  while (!finished_) {
    if (!started_) {
      started_ = true;
      HANDLE h = FindFirstFileA((folder_ + pattern_).c_str(), &found);
      if (h == INVALID_HANDLE_VALUE) {
        finished_ = true;
        break;
      }
      handle_ = h;
    } else if (!FindNextFileA(static_cast<HANDLE>(handle_), &found)) {
      break;
    }
    const DWORD attributes = found.dwFileAttributes;
    const bool is_folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (kind_ == kFiles ? is_folder : !is_folder) continue;
    // A linked folder (junction, symbolic link) may point back up the tree;
    // following it would list the same files again and again.
    if (is_folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) continue;
    std::string name = found.cFileName;
    // A name the ANSI code page cannot hold comes back with "?" in it and
    // names nothing; the short name still reaches the same entry.
    if (name.find('?') != std::string::npos && found.cAlternateFileName[0] != '\0') {
      name = found.cAlternateFileName;
    }
    return name;
  }
  Close();
  return std::string();
}
