// Streams built by hand for the archive tests (dense, short, damaged: what no
// real encoder would choose), written with the tests' one stream writer, and
// the tests' archive builder (test_archives.h) beside them.
#ifndef TESTS_NATIVE_ARCHIVE_TEST_STREAMS_H
#define TESTS_NATIVE_ARCHIVE_TEST_STREAMS_H

#include <cstdint>
#include <cstring>
#include <vector>

#include "naive_stream.h"
#include "test_archives.h"

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

#endif
