// byte_reader.h - bounded little-endian reading and writing of the show's
// binary files (scenes and meshes).
//
// ByteReader walks a byte buffer that holds a whole file. Every read checks
// the bytes really left first; once a read falls short the reader is marked
// failed, returns zeros from then on, and callers test ok() where it matters.
// fits(count, size) lets a reader check a count against what is left before
// allocating anything for it, so a corrupt count of 2^31 never allocates.
//
// ByteWriter appends the same encodings to a byte vector.
//
// readWholeFile loads a file into memory (false when it cannot be opened).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace demo {

class ByteReader {
public:
  ByteReader(const uint8_t *data, size_t size) : data_(data), size_(size) {}
  explicit ByteReader(const std::vector<uint8_t> &bytes) : ByteReader(bytes.data(), bytes.size()) {}

  bool ok() const { return ok_; }
  size_t remaining() const { return ok_ ? size_ - pos_ : 0; }
  size_t position() const { return pos_; }
  void fail() { ok_ = false; }

  // True when `count` items of `itemSize` bytes are still there (count >= 0).
  bool fits(int64_t count, size_t itemSize) const {
    if (!ok_ || count < 0)
      return false;
    if (itemSize == 0)
      return true;
    return static_cast<uint64_t>(count) <= remaining() / itemSize;
  }

  bool bytes(void *out, size_t n) {
    if (!ok_ || n > size_ - pos_) {
      ok_ = false;
      std::memset(out, 0, n);
      return false;
    }
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
  }

  bool skip(size_t n) {
    if (!ok_ || n > size_ - pos_) {
      ok_ = false;
      return false;
    }
    pos_ += n;
    return true;
  }

  uint8_t u8() {
    uint8_t v = 0;
    bytes(&v, 1);
    return v;
  }
  uint32_t u32() {
    uint8_t b[4];
    bytes(b, 4);
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
  }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  float f32() {
    uint32_t bits = u32();
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
  }

private:
  const uint8_t *data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

class ByteWriter {
public:
  std::vector<uint8_t> &bytes() { return bytes_; }
  const std::vector<uint8_t> &bytes() const { return bytes_; }

  void raw(const void *data, size_t n) {
    const uint8_t *p = static_cast<const uint8_t *>(data);
    bytes_.insert(bytes_.end(), p, p + n);
  }
  void u8(uint8_t v) { bytes_.push_back(v); }
  void u32(uint32_t v) {
    uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                    static_cast<uint8_t>(v >> 24)};
    raw(b, 4);
  }
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
  }

private:
  std::vector<uint8_t> bytes_;
};

// Reads a whole file into `out`. False when it cannot be opened or read, and
// then `reason` (when given) says which and why: "cannot open: <system's
// reason>" or "cannot read: <system's reason>".
bool readWholeFile(const std::string &path, std::vector<uint8_t> &out, std::string *reason = nullptr);
// Writes `bytes` to path, whole or not at all: the bytes go to a temporary
// name beside it (unique to this process) that is renamed over `path` once
// every byte is out, so a full disk, a crash or a second writer never leaves
// a cut or mixed file under the name. A path that is not a plain file (a
// device, a pipe) is written in place. False on any failure, with the
// system's reason ("No space left on device") in `reason` when given, and
// nothing left behind.
bool writeWholeFile(const std::string &path, const std::vector<uint8_t> &bytes, std::string *reason = nullptr);

// A name beside `path` for writing it under until it is complete, unique to
// this process: "DIR/.NAME.PID.part".
std::string temporaryNameFor(const std::string &path);

// A file whose room on the disk is taken before its final bytes are known:
// reserve() writes the most it can hold under a temporary name (see
// writeWholeFile), commit() later writes the real bytes over the start of it
// (at most as many), cuts it there and renames it to `path`. Overwriting
// what is already on the disk needs no new room, so a disk that fills up in
// between cannot stop the commit. Not committed, the temporary file is
// removed.
class ReservedFile {
public:
  ReservedFile() = default;
  ~ReservedFile();
  ReservedFile(const ReservedFile &) = delete;
  ReservedFile &operator=(const ReservedFile &) = delete;

  // False, with the system's reason, when the room cannot be had.
  bool reserve(const std::string &path, const std::vector<uint8_t> &bytes, std::string *reason = nullptr);
  // False, with the reason, when it fails or `bytes` is larger than reserved.
  bool commit(const std::vector<uint8_t> &bytes, std::string *reason = nullptr);

private:
  std::string path_, temporary_;
  size_t reserved_ = 0;
  int fd_ = -1;
};

} // namespace demo
