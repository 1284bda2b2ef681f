#include <windows.h>

#include "spreadsheet/xlsx/file_io.h"

namespace xlsx {
namespace {

std::string LastError(const std::string& path) {
  DWORD e = GetLastError();
  switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return path + ": the file does not exist";
    case ERROR_ACCESS_DENIED: return path + ": access denied";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return path + ": the file is locked by another program";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return path + ": the disk is full";
    default: return path + ": system error " + std::to_string(e);
  }
}

}  // namespace

bool ReadWholeFile(const std::string& path, size_t max_size, std::string* data, std::string* why) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *why = "cannot open " + LastError(path);
    return false;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h, &size) || static_cast<unsigned long long>(size.QuadPart) > max_size) {
    CloseHandle(h);
    *why = path + " is too large for the built-in engine";
    return false;
  }
  data->assign(static_cast<size_t>(size.QuadPart), '\0');
  size_t got = 0;
  while (got < data->size()) {
    DWORD n = 0;
    DWORD want = static_cast<DWORD>(data->size() - got > 0x10000000 ? 0x10000000 : data->size() - got);
    if (!ReadFile(h, &(*data)[got], want, &n, nullptr) || n == 0) {
      CloseHandle(h);
      *why = "cannot read " + LastError(path);
      return false;
    }
    got += n;
  }
  CloseHandle(h);
  return true;
}

bool SaveOverFile(const std::string& path, const std::string& data, std::string* why) {
  DWORD attrs = GetFileAttributesA(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    *why = "cannot save " + LastError(path);
    return false;
  }
  if (attrs & FILE_ATTRIBUTE_READONLY) {
    *why = "cannot save " + path + ": the file is read-only";
    return false;
  }
  // Another program holding the file open would make the final rename fail;
  // find out before writing anything.
  HANDLE probe = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    *why = "cannot save " + LastError(path);
    return false;
  }
  CloseHandle(probe);
  std::string dir = path;
  size_t cut = dir.find_last_of("\\/");
  dir = cut == std::string::npos ? "." : dir.substr(0, cut);
  char tmp[MAX_PATH + 16];
  if (!GetTempFileNameA(dir.c_str(), "csw", 0, tmp)) {
    *why = "cannot save " + path + ": no temporary file in its folder";
    return false;
  }
  HANDLE h = CreateFileA(tmp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *why = "cannot save " + LastError(path);
    DeleteFileA(tmp);
    return false;
  }
  size_t put = 0;
  bool ok = true;
  while (put < data.size()) {
    DWORD n = 0;
    DWORD want = static_cast<DWORD>(data.size() - put > 0x10000000 ? 0x10000000 : data.size() - put);
    if (!WriteFile(h, data.data() + put, want, &n, nullptr) || n == 0) {
      ok = false;
      break;
    }
    put += n;
  }
  if (ok && !FlushFileBuffers(h)) ok = false;
  std::string err = ok ? "" : LastError(path);
  CloseHandle(h);
  if (ok && !MoveFileExA(tmp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    err = LastError(path);
  }
  if (!ok) {
    DeleteFileA(tmp);
    *why = "cannot save " + err;
    return false;
  }
  return true;
}

std::string AbsolutePath(const std::string& path) {
  char buf[MAX_PATH * 2];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, nullptr);
  if (n == 0 || n >= sizeof buf) return path;
  return std::string(buf, n);
}

}  // namespace xlsx
