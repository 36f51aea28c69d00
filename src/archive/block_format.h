// The FA2 block format, defined once for the decoder, the encoder and the
// stream statistics.
//
// A stream is a sequence of codes steered by the bits of 32-bit little-endian
// control words. A control word stands in the stream where the decoder is
// when it needs a bit and the previous word is used up, so words and data
// bytes interleave exactly in the order in which they are taken. Bits are
// taken from bit 31 down; numbers inside a code are taken most significant
// bit first.
//
//   literal     1, B                        append B
//   near pair   0 1 0, B                    copy 2 bytes from distance B + 1
//   far pair    0 1 1, B, 3 bits e          V = B * 8 + e; V = 2047 ends the
//                                           stream, else copy 2 bytes from
//                                           distance V + 257
//   match       0 0, distance code, length code
//
// A match's distance code is a class prefix, a data byte and extra bits
// (distance = base + byte << extra + e + 1); its length code is a class
// prefix and extra bits, or for the longest class a data byte. Copies run
// forward one byte at a time, so a copy longer than its distance repeats the
// last bytes.
//
// This header only describes the format: it reads and writes nothing.
#ifndef ARCHIVE_BLOCK_FORMAT_H
#define ARCHIVE_BLOCK_FORMAT_H

#include <cstddef>
#include <cstdint>

// Copies reach back at most this many bytes.
constexpr uint32_t kBlockWindow = 8192;
constexpr uint32_t kBlockMinMatch = 3;  // two-byte copies go as pairs
constexpr uint32_t kBlockMaxMatch = 282;

// Codes, with their leading control bits (value and count).
constexpr uint32_t kLiteralCodeBits = 1;  // the bit 1, then the byte
constexpr uint32_t kPairPrefix = 0b01, kPairPrefixBits = 2;
constexpr uint32_t kMatchPrefix = 0b00, kMatchPrefixBits = 2;
// After the pair prefix: one bit, 0 for a near pair, 1 for a far pair.
constexpr uint32_t kNearPairMaxDistance = 256;
constexpr uint32_t kFarPairBase = 257;  // distance of V = 0
constexpr uint32_t kFarPairExtraBits = 3;
constexpr uint32_t kEndMarkerValue = 2047;  // the far pair V that ends the stream
constexpr uint32_t kFarPairMaxDistance = kFarPairBase + kEndMarkerValue - 1;  // 2303

// A class of a match's distance or length code: the prefix that selects it,
// the extra control bits after it, and the smallest value it stands for
// (distance less one for distances). A length class with takesByte is
// followed by a data byte instead of extra bits.
struct CodeClass {
  uint8_t prefix;
  uint8_t prefixBits;
  uint8_t extraBits;
  uint8_t takesByte;
  uint16_t base;
};

// Distance classes: prefix, then the data byte (high part), then the extra
// bits (low part). Each covers 256 << extraBits distances.
constexpr int kDistanceClassCount = 5;
constexpr CodeClass kDistanceClasses[kDistanceClassCount] = {
    {0b1, 1, 1, 1, 0},       // 1 to 512
    {0b01, 2, 1, 1, 512},    // 513 to 1024
    {0b001, 3, 2, 1, 1024},  // 1025 to 2048
    {0b0001, 4, 3, 1, 2048}, // 2049 to 4096
    {0b0000, 4, 4, 1, 4096}, // 4097 to 8192
};

// Length classes: prefix, then the extra bits, or a data byte for the last.
constexpr int kLengthClassCount = 6;
constexpr CodeClass kLengthClasses[kLengthClassCount] = {
    {0b1, 1, 0, 0, 3},        // 3
    {0b01, 2, 0, 0, 4},       // 4
    {0b001, 3, 1, 0, 5},      // 5 to 6
    {0b0001, 4, 2, 0, 7},     // 7 to 10
    {0b00001, 5, 4, 0, 11},   // 11 to 26
    {0b00000, 5, 0, 1, 27},   // 27 to 282
};

// How many values a class covers.
constexpr uint32_t ClassSpan(const CodeClass& c) { return (c.takesByte ? 256u : 1u) << c.extraBits; }

// The class of a match distance (1 to kBlockWindow) and of a match length
// (kBlockMinMatch to kBlockMaxMatch).
constexpr int DistanceClassOf(uint32_t distance) {
  int c = 0;
  while (c + 1 < kDistanceClassCount && distance - 1 >= kDistanceClasses[c + 1].base) ++c;
  return c;
}
constexpr int LengthClassOf(uint32_t length) {
  int c = 0;
  while (c + 1 < kLengthClassCount && length >= kLengthClasses[c + 1].base) ++c;
  return c;
}

// Takes a class prefix bit by bit from nextBit() and returns the index of
// the class it selects. The prefixes of a table never start one another, and
// every bit string of the longest prefix's length starts one of them.
template <int N, typename NextBit>
constexpr int TakeCodeClass(const CodeClass (&classes)[N], NextBit&& nextBit) {
  uint32_t value = 0;
  for (uint32_t bits = 1;; ++bits) {
    value = value << 1 | nextBit();
    for (int c = 0; c < N; ++c)
      if (classes[c].prefixBits == bits && classes[c].prefix == value) return c;
  }
}

// Stream bits of each code: control bits plus 8 for every data byte.
constexpr uint32_t kLiteralCost = kLiteralCodeBits + 8;
constexpr uint32_t kNearPairCost = kPairPrefixBits + 1 + 8;
constexpr uint32_t kFarPairCost = kPairPrefixBits + 1 + 8 + kFarPairExtraBits;
constexpr uint32_t ClassCost(const CodeClass& c) {
  return c.prefixBits + c.extraBits + (c.takesByte ? 8 : 0);
}
constexpr uint32_t PairCost(uint32_t distance) {
  return distance <= kNearPairMaxDistance ? kNearPairCost : kFarPairCost;
}
constexpr uint32_t MatchCost(uint32_t length, uint32_t distance) {
  return kMatchPrefixBits + ClassCost(kDistanceClasses[DistanceClassOf(distance)]) +
         ClassCost(kLengthClasses[LengthClassOf(length)]);
}

// The densest code: the longest match from the cheapest distance class, the
// most output bytes for the fewest stream bits.
constexpr uint64_t kDensestCodeBits = MatchCost(kBlockMaxMatch, 1);
constexpr uint64_t kDensestCodeBytes = kBlockMaxMatch;
static_assert(kDensestCodeBits == 25, "a 282-byte match from distance 1 takes 25 bits");

// The most bytes that a stream of streamLength bytes (below 2^50) can decode
// to. Lets a reader refuse a recorded size that no stream of that length can
// reach before it allocates room for it.
constexpr uint64_t MaxDecodedSize(uint64_t streamLength) {
  return streamLength * 8 * kDensestCodeBytes / kDensestCodeBits;
}

// The longest stream that the encoder writes for size input bytes: it never
// chooses a code that costs more bits than literals for the same bytes (9
// bits a byte, so size + size / 8 bytes and a partial byte), and adds the
// first control word, the end marker (7 bits and its byte), a control word
// for those bits and rounding.
constexpr size_t CompressBound(size_t size) { return size + size / 8 + 16; }

#endif
