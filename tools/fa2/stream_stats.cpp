// Counts the codes of an FA2 stream, following the decoder's order of bits
// and bytes but writing nothing.
#include "fa2/stream_stats.h"

#include <cstring>

namespace {

struct StreamReader {
  const uint8_t* source;
  size_t length;
  size_t pos;
  uint32_t word;
  int left;
  bool truncated;
};

uint32_t TakeBit(StreamReader& r) {
  if (r.left == 0) {
    if (r.length - r.pos < 4) {
      r.truncated = true;
      return 0;
    }
    r.word = uint32_t{r.source[r.pos]} | uint32_t{r.source[r.pos + 1]} << 8 |
             uint32_t{r.source[r.pos + 2]} << 16 | uint32_t{r.source[r.pos + 3]} << 24;
    r.pos += 4;
    r.left = 32;
  }
  uint32_t bit = r.word >> 31;
  r.word <<= 1;
  --r.left;
  return bit;
}

uint32_t TakeBits(StreamReader& r, int count) {
  uint32_t v = 0;
  while (count-- > 0) v = v << 1 | TakeBit(r);
  return v;
}

uint32_t TakeByte(StreamReader& r) {
  if (r.pos >= r.length) {
    r.truncated = true;
    return 0;
  }
  return r.source[r.pos++];
}

}  // namespace

int AnalyzeStream(const uint8_t* source, size_t sourceLength, StreamStats* stats) {
  StreamStats s;
  memset(&s, 0, sizeof s);
  StreamReader r{source, sourceLength, 0, 0, 0, false};
  while (!r.truncated) {
    if (TakeBit(r)) {
      TakeByte(r);
      ++s.literals;
      ++s.outputSize;
      continue;
    }
    if (TakeBit(r)) {
      if (TakeBit(r) == 0) {
        TakeByte(r);
        ++s.nearPairs;
      } else {
        uint32_t v = TakeByte(r) * 8;
        v += TakeBits(r, 3);
        if (r.truncated) break;
        if (v == 2047) {
          s.streamLength = r.pos;
          *stats = s;
          return 1;
        }
        ++s.farPairs;
      }
      s.outputSize += 2;
      continue;
    }
    int distanceClass = 0;
    while (distanceClass < 4 && TakeBit(r) == 0) ++distanceClass;
    static const int kExtraBits[5] = {1, 1, 2, 3, 4};
    TakeByte(r);
    TakeBits(r, kExtraBits[distanceClass]);
    int lengthClass = 0;
    while (lengthClass < 5 && TakeBit(r) == 0) ++lengthClass;
    static const int kLengthBase[6] = {3, 4, 5, 7, 11, 27};
    static const int kLengthBits[6] = {0, 0, 1, 2, 4, 0};
    uint32_t length = kLengthBase[lengthClass] + TakeBits(r, kLengthBits[lengthClass]);
    if (lengthClass == 5) length += TakeByte(r);
    ++s.matches;
    ++s.distanceClass[distanceClass];
    ++s.lengthClass[lengthClass];
    s.outputSize += length;
  }
  return 0;
}
