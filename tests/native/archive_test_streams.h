// A small hand-steered writer of FA2 streams for the archive tests. It emits
// exactly the codes the test asks for, in the order the decoder takes them, so
// tests can build streams (dense, short, damaged) that no real encoder would
// choose, without depending on one.
#ifndef TESTS_NATIVE_ARCHIVE_TEST_STREAMS_H
#define TESTS_NATIVE_ARCHIVE_TEST_STREAMS_H

#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/archive_format.h"

class TestStream {
 public:
  TestStream() { bytes_.resize(4); }

  void Literal(uint8_t b) {
    Bit(1);
    bytes_.push_back(b);
  }

  // A match: distance 1..8192, length 3..282, with the shortest distance code.
  void Match(uint32_t distance, uint32_t length) {
    const uint32_t d = distance - 1;
    Bit(0);
    Bit(0);
    if (d < 512) {
      Bit(1);
      bytes_.push_back(static_cast<uint8_t>(d >> 1));
      Bits(d & 1, 1);
    } else if (d < 1024) {
      Bits(0b01, 2);
      bytes_.push_back(static_cast<uint8_t>((d - 512) >> 1));
      Bits(d & 1, 1);
    } else if (d < 2048) {
      Bits(0b001, 3);
      bytes_.push_back(static_cast<uint8_t>((d - 1024) >> 2));
      Bits(d & 3, 2);
    } else if (d < 4096) {
      Bits(0b0001, 4);
      bytes_.push_back(static_cast<uint8_t>((d - 2048) >> 3));
      Bits(d & 7, 3);
    } else {
      Bits(0b0000, 4);
      bytes_.push_back(static_cast<uint8_t>((d - 4096) >> 4));
      Bits(d & 15, 4);
    }
    if (length == 3) {
      Bit(1);
    } else if (length == 4) {
      Bits(0b01, 2);
    } else if (length <= 6) {
      Bits(0b001, 3);
      Bits(length - 5, 1);
    } else if (length <= 10) {
      Bits(0b0001, 4);
      Bits(length - 7, 2);
    } else if (length <= 26) {
      Bits(0b00001, 5);
      Bits(length - 11, 4);
    } else {
      Bits(0, 5);
      bytes_.push_back(static_cast<uint8_t>(length - 27));
    }
  }

  // The end marker; returns the finished stream.
  std::vector<uint8_t> End() {
    Bits(0b011, 3);
    bytes_.push_back(0xFF);
    Bits(0b111, 3);
    Flush();
    return bytes_;
  }

 private:
  void Bit(uint32_t b) {
    if (used_ == 32) {
      Flush();
      word_at_ = bytes_.size();
      bytes_.resize(bytes_.size() + 4);
      word_ = 0;
      used_ = 0;
    }
    word_ |= (b & 1) << (31 - used_);
    ++used_;
  }
  void Bits(uint32_t value, int count) {
    while (count-- > 0) Bit(value >> count);
  }
  void Flush() {
    for (int k = 0; k < 4; ++k) bytes_[word_at_ + k] = static_cast<uint8_t>(word_ >> (8 * k));
  }

  std::vector<uint8_t> bytes_;
  size_t word_at_ = 0;
  uint32_t word_ = 0;
  int used_ = 0;
};

// A stream of literals only: the plainest stream of the given bytes.
inline std::vector<uint8_t> LiteralStream(const uint8_t* data, size_t size) {
  TestStream s;
  for (size_t i = 0; i < size; ++i) s.Literal(data[i]);
  return s.End();
}

// A record with the given name, flags and sizes.
inline ArchiveEntry TestRecord(const char* name, uint32_t flags, uint32_t unpacked,
                               uint32_t stored, uint64_t fileTime = 0) {
  ArchiveEntry e;
  std::memset(&e, 0, sizeof e);
  std::strncpy(e.Name, name, sizeof e.Name - 1);
  e.Flags = flags;
  e.FileTimeLow = static_cast<uint32_t>(fileTime);
  e.FileTimeHigh = static_cast<uint32_t>(fileTime >> 32);
  e.UnpackedSize = unpacked;
  e.StoredSize = stored;
  return e;
}

// A payload: header, dataSize zero bytes of entry data, then the directory
// bytes as given.
inline std::vector<uint8_t> TestPayload(uint32_t flags, uint32_t entryCount, size_t dataSize,
                                        const std::vector<uint8_t>& directory) {
  std::vector<uint8_t> p(kArchiveHeaderSize + dataSize + directory.size(), 0);
  ArchiveHeader h = {{'F', 'A', '2', '\0'}, flags,
                     static_cast<uint32_t>(kArchiveHeaderSize + dataSize), entryCount};
  std::memcpy(p.data(), &h, sizeof h);
  if (!directory.empty())
    std::memcpy(p.data() + kArchiveHeaderSize + dataSize, directory.data(), directory.size());
  return p;
}

inline std::vector<uint8_t> RecordBytes(const std::vector<ArchiveEntry>& records) {
  const uint8_t* b = reinterpret_cast<const uint8_t*>(records.data());
  return std::vector<uint8_t>(b, b + records.size() * sizeof(ArchiveEntry));
}

#endif
