// The FA2 block encoder, used only by the publishers' tool.
//
// CompressBlock turns a buffer into one stream of the block format
// (archive/block_format.h): control words reserved in the output exactly
// where the decoder will look for them, closed by the end marker. Every such
// stream decodes with DecompressBlockBounded (archive/decompress.h).
#ifndef FA2_ENCODER_H
#define FA2_ENCODER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/block_format.h"  // CompressBound

// Compression levels, 1 (fastest) to 9 (smallest). Levels 1 to 6 parse
// greedily or lazily over hash chains searched deeper at each level; levels
// 7 to 9 choose the cheapest sequence of codes, in exact stream bits, over
// the matches that ever deeper searches find. Levels outside the range are clamped into it; every level
// writes a valid stream of at most CompressBound bytes.
constexpr int kCompressLevelFastest = 1;
constexpr int kCompressLevelDefault = 6;
constexpr int kCompressLevelSmallest = 9;

// Compresses size bytes at data (data may be null when size is 0) into a
// complete stream ending with the end marker. The stream may be longer than
// the input for data that does not compress; callers store such data plain.
// Input of 4 GiB or more (more than an archive entry holds) is written as
// literals.
std::vector<uint8_t> CompressBlock(const uint8_t* data, size_t size,
                                   int level = kCompressLevelDefault);

#endif
