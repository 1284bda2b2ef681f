#pragma once
// The process-wide list of collected file paths: appended to, never shrunk.

#include <string>
#include <vector>

class FileListType {
 public:
  void Append(const std::string& path);
  int Count() const;
  // Entry number n, 1 to Count(); any other number is a fatal error.
  const std::string& At(int number) const;
  // For the exit routine only.
  void Free();

 private:
  std::vector<std::string> entries_;
};

extern FileListType FileList;
