#pragma once
// Temporary folder trees for the walk tests, and what a walk of them must give.

#include <string>
#include <vector>

// A fresh, empty folder under the system's temporary folder; removed by the destructor.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  const std::string& root() const { return root_; }
  // Creates a file (and its folders); rel uses '/' between parts.
  std::string AddFile(const std::string& rel);
  std::string AddFolder(const std::string& rel);
  std::string Path(const std::string& rel) const;

 private:
  std::string root_;
};

// Full paths of every file under folder, found independently of the walk:
// each folder's files in the order the file system reports them, then each
// sub-folder's subtree (std::filesystem, not the tool's directory search).
std::vector<std::string> ExpectedWalk(const std::string& folder);

// Marks a file hidden (and system, where the system has such flags).
void MakeHidden(const std::string& path);
