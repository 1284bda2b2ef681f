#pragma once
// One search over the entries of one folder: the Win32 file search on
// Windows, readdir elsewhere. The walk keeps one open search per level.

#include <string>

// The platform's path separator: '\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// Whether the path's last character (not just its last byte: a double-byte
// character may end in the byte 0x5C) is the path separator.
bool EndsWithSeparator(const std::string& path);

class DirectorySearch {
 public:
  enum Kind { kFiles, kFolders };

  // folder ends with the separator; pattern "*.*" means every name.
  // kFiles yields entries that are not folders, kFolders yields folders
  // ("." and ".." included, as the system reports them).
  DirectorySearch(const std::string& folder, const std::string& pattern, Kind kind);
  ~DirectorySearch();
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  // The next matching name in the order the file system reports them, or the
  // empty text when there is none left (the search is then closed).
  std::string Next();

 private:
  void Close();

  std::string folder_;
  std::string pattern_;
  Kind kind_;
  void* handle_ = nullptr;
  bool started_ = false;
  bool finished_ = false;
};
