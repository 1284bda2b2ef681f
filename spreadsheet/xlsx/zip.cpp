#include "spreadsheet/xlsx/zip.h"

#include <zlib.h>

#include <cstring>

namespace xlsx {
namespace {

uint16_t Rd16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Rd32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(std::string* s, uint32_t v) {
  s->push_back(static_cast<char>(v & 0xff));
  s->push_back(static_cast<char>((v >> 8) & 0xff));
}
void Put32(std::string* s, uint32_t v) {
  Put16(s, v & 0xffff);
  Put16(s, v >> 16);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Names outside ASCII are UTF-8 in packages; say so in the general flags.
uint16_t Utf8Flag(const std::string& name) {
  for (unsigned char c : name)
    if (c >= 0x80) return 0x800;
  return 0;
}

}  // namespace

bool ZipReader::Open(const std::string* data, std::string* why) {
  data_ = data;
  entries_.clear();
  const size_t n = data->size();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data->data());
  if (n >= 8 && std::memcmp(p, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0) {
    *why = "the file is an OLE compound file (an encrypted workbook or the old .xls format), not an .xlsx package";
    return false;
  }
  if (n < 22 || p[0] != 'P' || p[1] != 'K') {
    *why = "the file is not a zip package (.xlsx/.xlsm)";
    return false;
  }
  // The end record is within the last 64 KiB + 22 bytes (its comment is at most 65535 bytes).
  size_t eocd = n;
  size_t lowest = n > 22 + 65535 ? n - 22 - 65535 : 0;
  for (size_t i = n - 22 + 1; i-- > lowest;) {
    if (p[i] == 'P' && p[i + 1] == 'K' && p[i + 2] == 5 && p[i + 3] == 6) {
      eocd = i;
      break;
    }
  }
  if (eocd == n) {
    *why = "the zip package is damaged or truncated (no end of central directory)";
    return false;
  }
  if (eocd >= 20 && Rd32(p + eocd - 20) == 0x07064b50) {
    *why = "zip64 packages are not supported by the built-in engine";
    return false;
  }
  uint16_t disk = Rd16(p + eocd + 4), cd_disk = Rd16(p + eocd + 6);
  uint16_t count = Rd16(p + eocd + 10);
  uint32_t cd_size = Rd32(p + eocd + 12), cd_off = Rd32(p + eocd + 16);
  if (disk != 0 || cd_disk != 0 || Rd16(p + eocd + 8) != count) {
    *why = "multi-volume zip packages are not supported";
    return false;
  }
  if (count == 0xffff || cd_size == 0xffffffffu || cd_off == 0xffffffffu) {
    *why = "zip64 packages are not supported by the built-in engine";
    return false;
  }
  if (static_cast<uint64_t>(cd_off) + cd_size > eocd) {
    *why = "the zip package is damaged or truncated (central directory out of bounds)";
    return false;
  }
  size_t pos = cd_off;
  const size_t cd_end = static_cast<size_t>(cd_off) + cd_size;
  entries_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (pos + 46 > cd_end || Rd32(p + pos) != 0x02014b50) {
      *why = "the zip package is damaged (bad central directory entry)";
      return false;
    }
    ZipEntry e;
    uint16_t flags = Rd16(p + pos + 8);
    e.method = Rd16(p + pos + 10);
    e.mod_time = Rd16(p + pos + 12);
    e.mod_date = Rd16(p + pos + 14);
    e.crc = Rd32(p + pos + 16);
    e.compressed_size = Rd32(p + pos + 20);
    e.size = Rd32(p + pos + 24);
    uint16_t name_len = Rd16(p + pos + 28), extra_len = Rd16(p + pos + 30),
             comment_len = Rd16(p + pos + 32);
    uint32_t local = Rd32(p + pos + 42);
    size_t next = pos + 46 + name_len + extra_len + comment_len;
    if (next > cd_end) {
      *why = "the zip package is damaged (bad central directory entry)";
      return false;
    }
    e.name.assign(reinterpret_cast<const char*>(p + pos + 46), name_len);
    if (flags & 1) {
      *why = "the zip package is encrypted";
      return false;
    }
    if (e.compressed_size == 0xffffffffu || e.size == 0xffffffffu || local == 0xffffffffu) {
      *why = "zip64 packages are not supported by the built-in engine";
      return false;
    }
    if (e.method != 0 && e.method != 8) {
      *why = "zip entry " + e.name + " uses a compression method the engine does not read";
      return false;
    }
    if (static_cast<uint64_t>(local) + 30 > n || Rd32(p + local) != 0x04034b50) {
      *why = "the zip package is damaged (bad local header for " + e.name + ")";
      return false;
    }
    uint64_t data_off = static_cast<uint64_t>(local) + 30 + Rd16(p + local + 26) + Rd16(p + local + 28);
    if (data_off + e.compressed_size > n) {
      *why = "the zip package is damaged or truncated (" + e.name + " runs past the end)";
      return false;
    }
    if (e.method == 0 && e.compressed_size != e.size) {
      *why = "the zip package is damaged (stored entry " + e.name + " has inconsistent sizes)";
      return false;
    }
    e.data_offset = data_off;
    entries_.push_back(std::move(e));
    pos = next;
  }
  return true;
}

int ZipReader::Find(const std::string& name) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].name == name) return static_cast<int>(i);
  for (size_t i = 0; i < entries_.size(); ++i)
    if (SameNoCase(entries_[i].name, name)) return static_cast<int>(i);
  return -1;
}

bool ZipReader::Extract(int index, std::string* out, std::string* why) const {
  const ZipEntry& e = entries_[index];
  // Deflate cannot expand more than about 1032 to 1: a larger declared size is
  // a lie, and believing it would allocate memory the data can never fill.
  if (e.size > kMaxPartSize || (e.method == 8 && e.size > e.compressed_size * 1032 + 1024)) {
    *why = "zip entry " + e.name + " declares a size too large to read";
    return false;
  }
  // One spare byte shows whether deflated data holds more than it declared.
  out->reserve(static_cast<size_t>(e.size) + 1);
  out->assign(static_cast<size_t>(e.size), '\0');
  const char* src = data_->data() + e.data_offset;
  if (e.method == 0) {
    std::memcpy(&(*out)[0], src, static_cast<size_t>(e.size));
  } else {
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
      *why = "cannot start inflating " + e.name;
      return false;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(src));
    z.avail_in = static_cast<uInt>(e.compressed_size);
    out->push_back('\0');
    z.next_out = reinterpret_cast<Bytef*>(&(*out)[0]);
    z.avail_out = static_cast<uInt>(out->size());
    int rc = inflate(&z, Z_FINISH);
    uint64_t produced = z.total_out;
    inflateEnd(&z);
    out->pop_back();
    if (rc != Z_STREAM_END || produced != e.size) {
      *why = "the zip package is damaged (" + e.name + " does not inflate to its declared size)";
      out->clear();
      return false;
    }
  }
  uint32_t crc = static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(out->data()),
                                             static_cast<uInt>(out->size())));
  if (crc != e.crc) {
    *why = "the zip package is damaged (checksum mismatch in " + e.name + ")";
    out->clear();
    return false;
  }
  return true;
}

void ZipWriter::AddHeader(const ZipEntry& e) {
  offsets_.push_back(out_.size());
  Put32(&out_, 0x04034b50);
  Put16(&out_, 20);
  Put16(&out_, Utf8Flag(e.name));
  Put16(&out_, e.method);
  Put16(&out_, e.mod_time);
  Put16(&out_, e.mod_date);
  Put32(&out_, e.crc);
  Put32(&out_, static_cast<uint32_t>(e.compressed_size));
  Put32(&out_, static_cast<uint32_t>(e.size));
  Put16(&out_, static_cast<uint32_t>(e.name.size()));
  Put16(&out_, 0);
  out_ += e.name;
  written_.push_back(e);
}

void ZipWriter::AddRaw(const ZipEntry& entry, const char* compressed) {
  AddHeader(entry);
  out_.append(compressed, static_cast<size_t>(entry.compressed_size));
  if (out_.size() > 0xfffffff0u) too_big_ = true;
}

bool ZipWriter::AddDeflated(const std::string& name, const std::string& content, uint16_t mod_time,
                            uint16_t mod_date, std::string* why) {
  ZipEntry e;
  e.name = name;
  e.method = 8;
  e.mod_time = mod_time;
  e.mod_date = mod_date;
  e.size = content.size();
  e.crc = static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(content.data()),
                                      static_cast<uInt>(content.size())));
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (deflateInit2(&z, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    *why = "cannot start compressing " + name;
    return false;
  }
  // Compressed straight into the archive after a header whose sizes are
  // filled in once known.
  size_t header = out_.size();
  AddHeader(e);
  size_t data_start = out_.size();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  z.avail_in = static_cast<uInt>(content.size());
  int rc = Z_OK;
  unsigned char chunk[64 * 1024];
  while (rc == Z_OK) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    rc = deflate(&z, Z_FINISH);
    out_.append(reinterpret_cast<const char*>(chunk), sizeof chunk - z.avail_out);
  }
  deflateEnd(&z);
  if (rc != Z_STREAM_END) {
    *why = "cannot compress " + name;
    return false;
  }
  uint64_t packed = out_.size() - data_start;
  written_.back().compressed_size = packed;
  // Patch the compressed size into the local header (offset 18).
  for (int i = 0; i < 4; ++i) out_[header + 18 + i] = static_cast<char>((packed >> (8 * i)) & 0xff);
  if (out_.size() > 0xfffffff0u) too_big_ = true;
  return true;
}

bool ZipWriter::Finish(std::string* out, std::string* why) {
  uint64_t cd_start = out_.size();
  for (size_t i = 0; i < written_.size(); ++i) {
    const ZipEntry& e = written_[i];
    Put32(&out_, 0x02014b50);
    Put16(&out_, 20);
    Put16(&out_, 20);
    Put16(&out_, Utf8Flag(e.name));
    Put16(&out_, e.method);
    Put16(&out_, e.mod_time);
    Put16(&out_, e.mod_date);
    Put32(&out_, e.crc);
    Put32(&out_, static_cast<uint32_t>(e.compressed_size));
    Put32(&out_, static_cast<uint32_t>(e.size));
    Put16(&out_, static_cast<uint32_t>(e.name.size()));
    Put16(&out_, 0);
    Put16(&out_, 0);
    Put16(&out_, 0);
    Put16(&out_, 0);
    Put32(&out_, 0);
    Put32(&out_, static_cast<uint32_t>(offsets_[i]));
    out_ += e.name;
  }
  uint64_t cd_size = out_.size() - cd_start;
  if (too_big_ || out_.size() > 0xfffffff0u || written_.size() >= 0xffff) {
    *why = "the saved package would need zip64, which the engine does not write";
    return false;
  }
  Put32(&out_, 0x06054b50);
  Put16(&out_, 0);
  Put16(&out_, 0);
  Put16(&out_, static_cast<uint32_t>(written_.size()));
  Put16(&out_, static_cast<uint32_t>(written_.size()));
  Put32(&out_, static_cast<uint32_t>(cd_size));
  Put32(&out_, static_cast<uint32_t>(cd_start));
  Put16(&out_, 0);
  out->swap(out_);
  return true;
}

}  // namespace xlsx
