#pragma once
// The shell's browse-for-folder dialog (Windows).

#include <string>

// owner is the owning window's native handle (HWND). The result is the chosen
// folder without a trailing backslash, "C:" for a drive root, or empty when
// there is no usable choice (Cancel, a name the code page cannot hold, a
// choice that is not a file-system folder).
std::string PickFolder(void* owner, const std::string& title);
