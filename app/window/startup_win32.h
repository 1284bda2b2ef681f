#pragma once
#include <windows.h>

// Start-up, message loop and shutdown of the window program; returns the exit code.
int RunCellsweep(HINSTANCE instance, int show);
