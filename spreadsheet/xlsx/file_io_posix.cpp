#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "spreadsheet/xlsx/file_io.h"

namespace xlsx {

bool ReadWholeFile(const std::string& path, size_t max_size, std::string* data, std::string* why) {
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    *why = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    *why = path + " is not a regular file";
    return false;
  }
  if (static_cast<unsigned long long>(st.st_size) > max_size) {
    close(fd);
    *why = path + " is too large for the built-in engine";
    return false;
  }
  data->assign(static_cast<size_t>(st.st_size), '\0');
  size_t got = 0;
  while (got < data->size()) {
    ssize_t n = read(fd, &(*data)[got], data->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      *why = "cannot read " + path;
      return false;
    }
    got += static_cast<size_t>(n);
  }
  close(fd);
  return true;
}

bool SaveOverFile(const std::string& path, const std::string& data, std::string* why) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    *why = "cannot save " + path + ": " + std::strerror(errno);
    return false;
  }
  // Checked by the mode bits: root may write anything, but a file marked
  // read-only is the user saying "do not change this".
  if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
    *why = "cannot save " + path + ": the file is read-only";
    return false;
  }
  if (access(path.c_str(), W_OK) != 0) {
    *why = "cannot save " + path + ": " + std::strerror(errno);
    return false;
  }
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string tmpl = dir + "/." + base + ".cellsweep-XXXXXX";
  int fd = mkstemp(&tmpl[0]);
  if (fd < 0) {
    *why = "cannot save " + path + ": no temporary file in its folder (" + std::strerror(errno) + ")";
    return false;
  }
  size_t put = 0;
  bool ok = true;
  while (put < data.size()) {
    ssize_t n = write(fd, data.data() + put, data.size() - put);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    put += static_cast<size_t>(n);
  }
  int err = errno;
  if (ok && fchmod(fd, st.st_mode & 07777) != 0) { /* keep the default mode */ }
  if (ok && fsync(fd) != 0) {
    ok = false;
    err = errno;
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && rename(tmpl.c_str(), path.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    unlink(tmpl.c_str());
    *why = "cannot save " + path + ": " + std::strerror(err);
    return false;
  }
  return true;
}

std::string AbsolutePath(const std::string& path) {
  char buf[PATH_MAX];
  if (realpath(path.c_str(), buf)) return buf;
  return path;
}

}  // namespace xlsx
