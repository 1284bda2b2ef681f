// Times one folder walk through cellsweep.exe's window: from OK in the folder
// browser until the caption counts every file. Prints "<files> files: <s> s".
// Usage: walk_bench.exe C:\folder expected-file-count

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/win32/harness/harness.h"

using namespace harness;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: walk_bench C:\\folder expected-file-count\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string count = argv[2];
  App app;
  if (!app.Launch()) {
    std::fprintf(stderr, "walk_bench: %s\n", app.why.c_str());
    return 1;
  }
  Click(app.Control(kId按钮4));
  HWND browser = app.WaitForBrowser();
  if (browser == nullptr) {
    std::fprintf(stderr, "walk_bench: no folder browser\n");
    return 1;
  }
  std::string why;
  LARGE_INTEGER freq, start, end;
  QueryPerformanceFrequency(&freq);
  if (!ChooseFolder(browser, folder, &why)) {
    std::fprintf(stderr, "walk_bench: %s\n", why.c_str());
    return 1;
  }
  QueryPerformanceCounter(&start);
  const bool done = WaitUntil(
      [&] {
        Sleep(80);
        return app.Caption() == count;
      },
      30 * 60 * 1000);
  QueryPerformanceCounter(&end);
  if (!done) {
    std::fprintf(stderr, "walk_bench: caption %s, expected %s\n", app.Caption().c_str(), count.c_str());
    return 1;
  }
  const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(freq.QuadPart);
  const size_t lines = SplitLines(GetText(app.Control(kId编辑框2))).size();
  std::printf("%s files: %.2f s (%zu lines listed)\n", count.c_str(), seconds, lines);
  app.Close();
  const DWORD code = app.WaitForExit(120000);
  return (code == 0 && lines == std::strtoul(count.c_str(), nullptr, 10)) ? 0 : 1;
}
