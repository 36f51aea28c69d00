// Streams and archive images built by hand for the archive tests: streams
// (dense, short, damaged) that no real encoder would choose, written with the
// tests' one stream writer, and payloads laid out record by record.
#ifndef TESTS_NATIVE_ARCHIVE_TEST_STREAMS_H
#define TESTS_NATIVE_ARCHIVE_TEST_STREAMS_H

#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/archive_format.h"
#include "naive_stream.h"

// The tests' one stream writer (naive_stream.h) in the form the archive tests
// write: Match takes the distance first, End returns the finished stream.
class TestStream {
 public:
  void Literal(uint8_t b) { stream_.Literal(b); }
  // A match: distance 1..8192, length 3..282, with the shortest distance code.
  void Match(uint32_t distance, uint32_t length) { stream_.Match(length, distance); }
  // The end marker; returns the finished stream.
  std::vector<uint8_t> End() {
    stream_.End();
    return stream_.Layout();
  }

 private:
  NaiveStream stream_;
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
  ArchiveHeader h = {{}, flags, static_cast<uint32_t>(kArchiveHeaderSize + dataSize), entryCount};
  std::memcpy(h.Magic, kArchiveMagic, sizeof h.Magic);
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
