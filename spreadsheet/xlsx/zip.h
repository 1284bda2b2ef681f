#pragma once
// The zip container of a workbook package: read from bytes in memory, written
// back with unchanged entries copied still compressed. Only what packages use:
// stored and deflated entries, no encryption, no zip64 (refused with a reason).

#include <cstdint>
#include <string>
#include <vector>

namespace xlsx {

struct ZipEntry {
  std::string name;
  uint16_t method = 0;  // 0 stored, 8 deflated
  uint32_t crc = 0;
  uint64_t compressed_size = 0;
  uint64_t size = 0;
  uint64_t data_offset = 0;  // where the compressed bytes start in the archive
  uint16_t mod_time = 0;
  uint16_t mod_date = 0;
};

// Largest part the engine inflates; a declared size above it is refused
// rather than allocated.
constexpr uint64_t kMaxPartSize = 512ull * 1024 * 1024;

class ZipReader {
 public:
  // Reads the central directory of the archive in data (which must outlive
  // the reader). False with the reason when it is not a zip the engine reads.
  bool Open(const std::string* data, std::string* why);
  const std::vector<ZipEntry>& entries() const { return entries_; }
  // Index of the entry with this name (exact, then ASCII case-insensitive), or -1.
  int Find(const std::string& name) const;
  // Inflates one entry, checking its size and CRC.
  bool Extract(int index, std::string* out, std::string* why) const;
  // The entry's compressed bytes as stored.
  const char* Raw(int index) const { return data_->data() + entries_[index].data_offset; }

 private:
  const std::string* data_ = nullptr;
  std::vector<ZipEntry> entries_;
};

// Builds an archive in memory, entry by entry.
class ZipWriter {
 public:
  explicit ZipWriter(int level, size_t expected_size = 0) : level_(level) { out_.reserve(expected_size); }
  // Copies an entry of another archive without inflating it.
  void AddRaw(const ZipEntry& entry, const char* compressed);
  // Deflates new content for an entry.
  bool AddDeflated(const std::string& name, const std::string& content, uint16_t mod_time,
                   uint16_t mod_date, std::string* why);
  // Writes the central directory; the archive is then in *out.
  bool Finish(std::string* out, std::string* why);

 private:
  void AddHeader(const ZipEntry& entry);
  int level_;
  std::string out_;
  std::vector<ZipEntry> written_;
  std::vector<uint64_t> offsets_;
  bool too_big_ = false;
};

}  // namespace xlsx
