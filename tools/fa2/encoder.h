// The FA2 block encoder, used only by the publishers' tool.
//
// CompressBlock turns a buffer into one FA2 stream: LZ77 codes over an
// 8 KiB window, steered by 32-bit control words that the encoder reserves in
// the output exactly where the decoder will look for them, and closed by the
// end marker. Any such stream decodes with DecompressBlock and
// DecompressBlockBounded (archive/decompress.h).
#ifndef FA2_ENCODER_H
#define FA2_ENCODER_H

#include <cstddef>
#include <cstdint>
#include <vector>

// Compression levels. Higher levels search the window harder and run slower;
// every level writes a valid stream.
constexpr int kCompressLevelFastest = 0;  // greedy parse, short hash chains
constexpr int kCompressLevelDefault = 1;  // lazy parse, hash chains
constexpr int kCompressLevelBest = 2;     // lazy parse, long hash chains
// Reserved for an optimal (cost-based) parse. Until it exists it is
// compressed as kCompressLevelBest; levels above it are clamped to it.
constexpr int kCompressLevelOptimal = 3;

// The largest stream CompressBlock can produce for size input bytes: every
// code costs at most what literals for the same bytes cost (one control bit
// and one byte each), plus the first control word and the end marker.
size_t CompressBound(size_t size);

// Compresses size bytes at data (data may be null when size is 0) into a
// complete stream ending with the end marker. The stream may be longer than
// the input for data that does not compress; callers store such data plain.
std::vector<uint8_t> CompressBlock(const uint8_t* data, size_t size,
                                   int level = kCompressLevelDefault);

#endif
