// A walk over an FA2 stream that counts its codes by kind, for tests and for
// looking at what the encoder chooses. It does not produce the output.
#ifndef FA2_STREAM_STATS_H
#define FA2_STREAM_STATS_H

#include <cstddef>
#include <cstdint>

#include "archive/block_format.h"

struct StreamStats {
  uint64_t literals;
  uint64_t nearPairs;
  uint64_t farPairs;
  uint64_t matches;
  // Matches by distance class: 1-512, 513-1024, 1025-2048, 2049-4096,
  // 4097-8192.
  uint64_t distanceClass[kDistanceClassCount];
  // Matches by length class: 3, 4, 5-6, 7-10, 11-26, 27-282.
  uint64_t lengthClass[kLengthClassCount];
  uint64_t outputSize;    // bytes the stream decodes to
  uint64_t streamLength;  // bytes up to and including the end marker
};

// Walks the stream at source. Returns 1 and fills *stats when it reaches the
// end marker within sourceLength bytes, else 0. Distances are not checked
// against the output; decode the stream for that.
int AnalyzeStream(const uint8_t* source, size_t sourceLength, StreamStats* stats);

#endif
