#include "tests/collect/tree.h"

#include <filesystem>
#include <fstream>
#include <random>

#include "collect/directory_search.h"

namespace fs = std::filesystem;

TempTree::TempTree() {
  std::random_device rd;
  fs::path p = fs::temp_directory_path() / ("cs-walk-" + std::to_string(rd() % 1000000000u));
  fs::create_directories(p);
  root_ = p.string();
  while (!root_.empty() && (root_.back() == '/' || root_.back() == '\\')) root_.pop_back();
}

TempTree::~TempTree() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string TempTree::Path(const std::string& rel) const {
  std::string p = root_;
  p += kPathSeparator;
  for (char c : rel) p += (c == '/') ? kPathSeparator : c;
  return p;
}

std::string TempTree::AddFile(const std::string& rel) {
  std::string p = Path(rel);
  fs::create_directories(fs::path(p).parent_path());
  std::ofstream(p) << rel;
  return p;
}

std::string TempTree::AddFolder(const std::string& rel) {
  std::string p = Path(rel);
  fs::create_directories(p);
  return p;
}

std::vector<std::string> ExpectedWalk(const std::string& folder) {
  std::vector<std::string> out;
  std::vector<std::string> subfolders;
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (e.is_symlink() && e.is_directory()) continue;
    if (e.is_directory()) {
      subfolders.push_back(folder + kPathSeparator + name);
    } else if (e.is_regular_file()) {
      out.push_back(folder + kPathSeparator + name);
    }
  }
  for (const std::string& sub : subfolders) {
    std::vector<std::string> below = ExpectedWalk(sub);
    out.insert(out.end(), below.begin(), below.end());
  }
  return out;
}
