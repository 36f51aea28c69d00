// Counts the codes of an FA2 stream, following the decoder's order of bits
// and bytes but writing nothing.
#include "stream_stats.h"

#include <cstring>

#include "archive/block_format.h"

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
        uint32_t v = TakeByte(r) << kFarPairExtraBits;
        v |= TakeBits(r, kFarPairExtraBits);
        if (r.truncated) break;
        if (v == kEndMarkerValue) {
          s.streamLength = r.pos;
          *stats = s;
          return 1;
        }
        ++s.farPairs;
      }
      s.outputSize += 2;
      continue;
    }
    auto bit = [&] { return TakeBit(r); };
    const int distanceClass = TakeCodeClass(kDistanceClasses, bit);
    TakeByte(r);
    TakeBits(r, kDistanceClasses[distanceClass].extraBits);
    const int lengthClass = TakeCodeClass(kLengthClasses, bit);
    const CodeClass& lc = kLengthClasses[lengthClass];
    const uint32_t length = lc.base + (lc.takesByte ? TakeByte(r) : TakeBits(r, lc.extraBits));
    ++s.matches;
    ++s.distanceClass[distanceClass];
    ++s.lengthClass[lengthClass];
    s.outputSize += length;
  }
  return 0;
}
