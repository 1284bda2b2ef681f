#pragma once
#include <string>

// Walks folder depth-first, files before sub-folders, appending every file's
// full path to FileList, one line to 编辑框2 and one count to the caption.
void CollectFiles(const std::string& folder, const std::string& pattern);

// The browse button's handler (Windows): PickFolder, then CollectFiles.
void BrowseAndCollect();
