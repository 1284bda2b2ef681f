#include <windows.h>

#include "app/window/startup_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) { return RunCellsweep(instance, show); }
