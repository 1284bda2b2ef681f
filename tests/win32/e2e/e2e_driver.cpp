// Drives cellsweep.exe through one batch, as a user would:
//   e2e_driver standin|broken|none FOLDER FILES
// registers the stand-in server as "Excel.Application" (standin, broken) or
// makes sure nothing is registered under that name (none); picks FOLDER in the folder
// browser, expects FILES files, types the texts, presses the batch button,
// answers the end box and closes the window. With broken, the folder holds a
// damaged broken.xlsx the end box must name, with the warning icon. Exit code 0 when every step went
// as expected; the workbooks are checked by the calling script.

#include <windows.h>
#include <objbase.h>
#include <ole2.h>

#include <cstdio>
#include <string>

#include "tests/win32/harness/harness.h"
#include "tests/win32/standin/standin_support.h"

using namespace harness;

namespace {

// The texts e2e_books.py expects.
const char* const kSearch = "旧值";
const char* const kReplacement = "新值";

int Fail(const std::string& what) {
  std::fprintf(stderr, "FAIL %s\n", what.c_str());
  return 1;
}

bool ServerRegistered() {
  CLSID clsid;
  return SUCCEEDED(CLSIDFromProgID(L"Excel.Application", &clsid));
}

int Run(const std::string& mode, const std::string& folder, int files) {
  bool server = mode != "none";
  if (server) {
    std::string why;
    if (!RegisterStandIn(true, false, &why)) return Fail("registering the stand-in: " + why);
    if (!ServerRegistered()) return Fail("the stand-in is registered but \"Excel.Application\" does not resolve");
  } else {
    UnregisterStandIn();
    if (ServerRegistered()) return Fail("\"Excel.Application\" is still registered in this prefix");
  }

  App app;
  if (!app.Launch()) return Fail("launching cellsweep.exe: " + app.why);

  Click(app.Control(kId按钮4));
  HWND browser = app.WaitForBrowser();
  if (!browser) return Fail("the folder browser did not open");
  if (!ChooseFolder(browser, folder, &app.why)) return Fail("choosing " + folder + ": " + app.why);
  std::string expected = std::to_string(files);
  if (!WaitUntil([&] { return app.Caption() == expected; }))
    return Fail("caption after collecting is '" + Utf8(app.Caption()) + "', expected " + expected);

  if (!SetText(app.Control(kId编辑框3), Ansi(kSearch)) || !SetText(app.Control(kId编辑框4), Ansi(kReplacement)))
    return Fail("typing the texts");
  Click(app.Control(kId按钮6));
  HWND box = app.WaitForMessageBox(90000);
  if (!box) return Fail("no message box at the end of the batch; caption '" + Utf8(app.Caption()) + "'");
  std::string text = MessageBoxText(box);
  bool warned = MessageBoxHasIcon(box);
  AnswerMessageBox(box);
  if (text.rfind(Ansi("已经完毕！"), 0) != 0) return Fail("end box says '" + Utf8(text) + "'");
  if (mode == "broken") {
    if (!warned || text.find("broken.xlsx") == std::string::npos)
      return Fail("end box does not report the damaged workbook: '" + Utf8(text) + "'");
    std::printf("end box: %s\n", Utf8(text).c_str());
  } else if (warned) {
    return Fail("end box reports failures: '" + Utf8(text) + "'");
  }
  std::string after = std::to_string(files + 1);
  if (!WaitUntil([&] { return app.Caption() == after; }))
    return Fail("caption after the batch is '" + Utf8(app.Caption()) + "', expected " + after);

  app.Close();
  DWORD code = app.WaitForExit();
  if (code != 0) return Fail("exit code " + std::to_string(code));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: e2e_driver standin|broken|none FOLDER FILES\n");
    return 2;
  }
  OleInitialize(nullptr);
  std::string mode = argv[1];
  int rc = Run(mode, argv[2], std::atoi(argv[3]));
  // Leave the prefix as it was found: no server registered.
  if (mode != "none") UnregisterStandIn();
  OleUninitialize();
  if (rc == 0) std::printf("batch in cellsweep.exe completed (%s)\n", mode != "none" ? "stand-in server" : "built-in engine");
  return rc;
}
