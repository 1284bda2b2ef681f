#include "app/file_list.h"

#include "app/fatal.h"
#include "text/encoding.h"

FileListType FileList;

void FileListType::Append(const std::string& path) { entries_.push_back(path); }

int FileListType::Count() const { return static_cast<int>(entries_.size()); }

const std::string& FileListType::At(int number) const {
  if (number < 1 || number > Count()) {
    FatalError(FromUtf8("文件列表的序号超出范围：") + std::to_string(number) + " / " +
               std::to_string(Count()));
  }
  return entries_[static_cast<size_t>(number - 1)];
}

void FileListType::Free() {
  // Give the memory back, not just the entries.
  std::vector<std::string>().swap(entries_);
}
