// The FA2 block decoder.
//
// Control bits live in a 64-bit value, the bits not yet taken at the top and
// zeros below them, with their count (`left`) beside it. A new control word is
// read only when a bit is needed and none is left, wherever the read position
// is at that moment; that is what places the words between the data bytes.
//
// A run of literals is the run of leading one bits: it is counted at once and
// its bytes are moved together. A copy code's control bits are one run of at
// most 19 bits, even though its data byte (and a long match's length byte)
// stands between them in the stream, so a table indexed by the next bits
// decodes the whole code at once.
//
// The bounded decoder runs a fast loop while at least kInMargin stream bytes
// and kOutMargin output bytes are left. There one step (a run of literals
// and the copy code after it) cannot reach either end, so the loop checks
// only copy distances, reads the next control word before it knows whether
// the code runs into it, and copies in whole 8- or 16-byte moves that may run past
// the bytes produced (into room that later output overwrites, or that lies
// beyond the content but within the capacity). Near the ends a plain loop
// checks every bit, byte and copy.
#include "archive/decompress.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "archive/block_format.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

static_assert(std::endian::native == std::endian::little,
              "control words and word-sized copies assume a little-endian machine");

namespace {

// What one step of the fast loop reads and writes at most. In: a control
// word, a 32-byte literal move, then 8 bytes read where the literals end (the
// data byte, the next control word before or after it, and a length byte).
// Out: a 32-byte literal move, then the longest match, whose last 16-byte
// move runs 15 bytes further.
constexpr ptrdiff_t kInMargin = 4 + 32 + 1 + 4 + 1 + 6;
constexpr ptrdiff_t kOutMargin = 32 + kBlockMaxMatch + 15 + 1;
static_assert(kOutMargin <= static_cast<ptrdiff_t>(kBlockPartSlack),
              "the fast loop must reach a pause with the slack that callers leave");

// For a distance d below 8, the factor that repeats d bytes through 64 bits,
// and the step (a multiple of d) at which such a word is stored.
constexpr uint64_t kPatternFactor[8] = {
    0, 0x0101010101010101ull, 0x0001000100010001ull, 0x0001000001000001ull,
    0x0000000100000001ull, 0x0000010000000001ull, 0x0001000000000001ull, 0x0100000000000001ull};
constexpr unsigned kPatternStep[8] = {0, 8, 8, 6, 8, 5, 6, 7};

// ---------------------------------------------------------------------------
// Code tables.
//
// A decoded copy code is packed into 32 bits:
//   bits 0-4    number of control bits of the code (0: not decoded here)
//   bit 5       zero, so that the low 6 bits are a shift count as they are
//   bits 6-8    shift of the data byte in the distance
//   bit 9       a length byte follows (matches of 27 bytes or more)
//   bit 10      a far pair of value 2047 if its data byte is 0xFF: the end marker
//   bits 11-15  length (2 for pairs; 27 for the longest class, before its byte)
//   bits 16-18  control bits taken before the data byte
//   bits 19-31  distance less the data byte's part
constexpr uint32_t kCodeBitsMask = 31;
constexpr uint32_t kTakesLengthByte = 1u << 9;
constexpr uint32_t kEndMarkerIfFF = 1u << 10;

constexpr uint32_t PackCode(unsigned bits, unsigned shift, bool takesByte, bool endIfFF,
                            unsigned length, unsigned add, unsigned bitsBeforeByte) {
  return bits | shift << 6 | (takesByte ? kTakesLengthByte : 0) | (endIfFF ? kEndMarkerIfFF : 0) |
         length << 11 | bitsBeforeByte << 16 | add << 19;
}

// The control bits shifted away past a code: the shift takes only the count
// in the low bits.
inline uint64_t SkipCode(uint64_t bits, uint32_t code) { return bits << (code & 63); }
inline size_t CodeDistance(uint32_t code, uint32_t byte) {
  return (code >> 19) + (size_t{byte} << ((code >> 6) & 7));
}
inline size_t CodeLength(uint32_t code) { return (code >> 11) & 31; }
inline size_t CodeTakesByte(uint32_t code) { return (code >> 9) & 1; }
inline unsigned CodeBitsBeforeByte(uint32_t code) { return (code >> 16) & 7; }

// The count bits of value starting at bit from (0: the most significant of
// width).
constexpr unsigned BitsAt(unsigned value, unsigned width, unsigned from, unsigned count) {
  return count == 0 ? 0 : (value >> (width - from - count)) & ((1u << count) - 1);
}

// The pair or the match's distance code, by the code's first 10 bits (the
// first always 0). bitsBeforeByte are taken before the data byte, bits in all.
struct CodeHead {
  uint16_t add;
  uint8_t shift;
  uint8_t bitsBeforeByte;
  uint8_t bits;
  uint8_t isMatch;
  uint8_t endIfFF;
};

constexpr CodeHead MakeCodeHead(unsigned i) {
  if (BitsAt(i, 10, 1, 1)) {
    if (!BitsAt(i, 10, 2, 1)) return {1, 0, 3, 3, 0, 0};  // near pair
    const unsigned e = BitsAt(i, 10, 3, kFarPairExtraBits);
    return {static_cast<uint16_t>(kFarPairBase + e), kFarPairExtraBits, 3, 3 + kFarPairExtraBits,
            0, static_cast<uint8_t>(e == (kEndMarkerValue & 7))};
  }
  unsigned next = 2;
  const CodeClass& c = kDistanceClasses[TakeCodeClass(kDistanceClasses, [&] {
    return BitsAt(i, 10, next++, 1);
  })];
  const unsigned before = kMatchPrefixBits + c.prefixBits;
  return {static_cast<uint16_t>(c.base + BitsAt(i, 10, before, c.extraBits) + 1),
          c.extraBits, static_cast<uint8_t>(before), static_cast<uint8_t>(before + c.extraBits),
          1, 0};
}

// A match's length code, by its first 9 bits.
struct LengthCode {
  uint16_t length;
  uint8_t bits;
  uint8_t takesByte;
};

constexpr LengthCode MakeLengthCode(unsigned i) {
  unsigned next = 0;
  const CodeClass& c = kLengthClasses[TakeCodeClass(kLengthClasses, [&] {
    return BitsAt(i, 9, next++, 1);
  })];
  const unsigned extra = c.takesByte ? 0 : c.extraBits;
  return {static_cast<uint16_t>(c.base + BitsAt(i, 9, c.prefixBits, extra)),
          static_cast<uint8_t>(c.prefixBits + extra), c.takesByte};
}

// Most codes are short: one look-up by the first kShortCodeBits bits decodes
// them. The table has half as many entries, as the first bit is always 0.
// With 14 bits (32 KB, of which the common codes touch a part) most 14-bit
// codes, long matches from far, stay off the slower path; on the benchmark
// corpus 14 bits decode faster than 13 or 15.
constexpr unsigned kShortCodeBits = 14;

// The tables are built when the program starts, not by the compiler: as
// constants they would be 38 KB of every updater's file.
struct CodeTables {
  CodeHead head[512];
  LengthCode length[512];
  uint32_t shortCode[1u << (kShortCodeBits - 1)];
  CodeTables() {
    for (unsigned i = 0; i < 512; ++i) {
      head[i] = MakeCodeHead(i);
      length[i] = MakeLengthCode(i);
    }
    for (unsigned i = 0; i < (1u << (kShortCodeBits - 1)); ++i) {
      const uint64_t v = uint64_t{i} << (64 - kShortCodeBits);
      const CodeHead h = head[v >> 54];
      const LengthCode l = length[(v << h.bits) >> 55];
      const unsigned bits = h.bits + (h.isMatch ? l.bits : 0);
      shortCode[i] = bits > kShortCodeBits
                         ? PackCode(0, 0, false, false, 0, 0, h.bitsBeforeByte)
                         : PackCode(bits, h.shift, h.isMatch && l.takesByte, h.endIfFF,
                                    h.isMatch ? l.length : 2, h.add, h.bitsBeforeByte);
    }
  }
};
const CodeTables kCodeTables;

// A code too long for the short table, from at least 19 valid bits at the
// top of v: the head, then the length code that follows it.
inline uint32_t DecodeLongCode(uint64_t v) {
  const CodeHead& h = kCodeTables.head[v >> 54];
  const LengthCode& l = kCodeTables.length[(v << h.bits) >> 55];
  return PackCode(h.bits + l.bits, h.shift, l.takesByte, false, l.length, h.add,
                  h.bitsBeforeByte);
}

// ---------------------------------------------------------------------------
// Moves.

// The number of leading one bits of bits, which has a zero bit somewhere
// (below its control bits), so that no zero test is needed.
inline unsigned LeadingOnes(uint64_t bits) { return static_cast<unsigned>(__builtin_clzll(~bits)); }

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);
  return v;
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  memcpy(&v, p, 8);
  return v;
}

inline void Store64(uint8_t* p, uint64_t v) { memcpy(p, &v, 8); }
inline void Copy8(uint8_t* d, const uint8_t* s) { memcpy(d, s, 8); }
inline void Copy16(uint8_t* d, const uint8_t* s) { memcpy(d, s, 16); }

// Copies length (at least 1) bytes from distance d to op, writing up to 15
// bytes past them. Every byte read lies before op or was written earlier in
// this copy, except in the pattern load, whose bytes at and after op are
// masked away.
inline void CopyMatchWild(uint8_t* op, size_t d, size_t length) {
  uint8_t* const end = op + length;
  if (d >= 16) {
    const uint8_t* s = op - d;
    do {
      Copy16(op, s);
      op += 16;
      s += 16;
    } while (op < end);
  } else if (d >= 8) {
    const uint8_t* s = op - d;
    do {
      Copy8(op, s);
      op += 8;
      s += 8;
    } while (op < end);
  } else {
    const uint64_t p = (Load64(op - d) & ((uint64_t{1} << (8 * d)) - 1)) * kPatternFactor[d];
    const unsigned step = kPatternStep[d];
    if (step == 8) {
      do {
        Store64(op, p);
        Store64(op + 8, p);
        op += 16;
      } while (op < end);
    } else {
      do {
        Store64(op, p);
        op += step;
      } while (op < end);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------

namespace {

// The decoder's body, compiled twice below: once for any x86-64 and once for
// processors that count leading zeros in one fast instruction (the count of a
// literal run stands in the chain from one code to the next).
[[gnu::always_inline]] inline int DecodePart(BlockDecoder* decoder, uint8_t* out, size_t start,
                                             size_t stop, size_t capacity, size_t* end) {
  uint8_t* const outEnd = out + capacity;
  uint8_t* op = out + start;
  const uint8_t* const begin = decoder->Begin;
  const uint8_t* const inEnd = decoder->End;
  const uint8_t* in = decoder->In;
  uint64_t bits = decoder->Bits;
  unsigned left = decoder->Left;
  const size_t sourceLength = static_cast<size_t>(inEnd - begin);
  bool ended = false;

  // The fast loop: a run of literals and the copy code after it per step.
  // It stops before the step that would start at stop. (Limits as pointers
  // only when the buffers are that long.)
  const bool roomy = sourceLength >= static_cast<size_t>(kInMargin) &&
                     capacity >= static_cast<size_t>(kOutMargin) && start < stop;
  const uint8_t* const inLimit = roomy ? inEnd - kInMargin : begin;
  uint8_t* const outLimit =
      roomy ? out + (stop - 1 < capacity - kOutMargin ? stop - 1 : capacity - kOutMargin) : out;
  while (roomy && in <= inLimit && op <= outLimit) {
    if (left == 0) {
      bits = uint64_t{Load32(in)} << 32;
      in += 4;
      left = 32;
    }
    const unsigned run = LeadingOnes(bits);
    Copy16(op, in);
    Copy16(op + 16, in + 16);
    op += run;
    in += run;
    bits <<= run;
    left -= run;
    // The next control word stands here if the bits run out before the data
    // byte (low half of x), or after the byte (from its second byte on).
    const uint64_t x = Load64(in);
    if (left == 0) {
      bits = (x & 0xFFFFFFFFu) << 32;
      in += 4;
      left = 32;
      continue;
    }

    // A copy code; its first bit, 0, is at the top. Mostly the whole code
    // lies in this word and is short, and one look-up decodes it.
    uint32_t code = kCodeTables.shortCode[bits >> (64 - kShortCodeBits)];
    unsigned k = code & kCodeBitsMask;
    // The code as it reads with the next word placed below these bits,
    // before the data byte (v0) or after it (v1). About one code in five
    // runs into the next word, and the branch below then mispredicts; these
    // look-ups are issued before it, so that they are not thrown away with
    // the mispredicted path and the code is known soon after. The empty asm
    // keeps the compiler from moving them into that path (not on 32-bit x86,
    // which lacks the registers for it).
    const uint64_t v0 = bits | ((x & 0xFFFFFFFFu) << (32 - left));
    const uint64_t v1 = bits | (((x >> 8) & 0xFFFFFFFFu) << (32 - left));
    const uint32_t c0 = kCodeTables.shortCode[v0 >> (64 - kShortCodeBits)];
    const uint32_t c1 = kCodeTables.shortCode[v1 >> (64 - kShortCodeBits)];
#if defined(__GNUC__) && !defined(__i386__)
    asm("" : : "r"(c0), "r"(c1), "r"(v0), "r"(v1));
#endif
    size_t distance, length;
    if (k - 1 < left) {
      const uint32_t b = in[0];
      if ((code & kEndMarkerIfFF) && b == 0xFF) [[unlikely]] {
        in += 1;
        ended = true;
        break;
      }
      distance = CodeDistance(code, b);
      const size_t takesByte = CodeTakesByte(code);
      length = (CodeLength(code)) + (in[1] & (0 - takesByte));
      in += 1 + takesByte;
      bits = SkipCode(bits, code);
      left -= k;
    } else {
      // A long code, or one that runs into the next control word. That word
      // stands where the decoder would read it: after the data byte, unless
      // the bits run out before that byte (then the code's head does not fit
      // in them, and its zero-filled reading takes more bits than are left).
      const size_t wordFirst = CodeBitsBeforeByte(code) > left;
      const size_t byteAt = wordFirst << 2;
      const uint64_t v = wordFirst ? v0 : v1;
      code = wordFirst ? c0 : c1;
      if ((code & kCodeBitsMask) == 0) code = DecodeLongCode(v);
      k = code & kCodeBitsMask;
      const size_t need = k > left;  // a long code may still fit
      const uint32_t b = in[byteAt];
      if ((code & kEndMarkerIfFF) && b == 0xFF) [[unlikely]] {
        in += 1 + (need << 2);
        ended = true;
        break;
      }
      distance = CodeDistance(code, b);
      const size_t takesByte = CodeTakesByte(code);
      length = (CodeLength(code)) + (in[1 + (need << 2)] & (0 - takesByte));
      in += 1 + takesByte + (need << 2);
      bits = need ? v << k : bits << k;
      left = left - k + static_cast<unsigned>(need << 5);
    }

    if (distance > static_cast<size_t>(op - out)) return 0;
    if (distance >= 8) [[likely]] {
      // Four 8-byte moves cover nearly every match; each reads only bytes
      // before its own destination.
      const uint8_t* const from = op - distance;
      Copy8(op, from);
      Copy8(op + 8, from + 8);
      Copy8(op + 16, from + 16);
      Copy8(op + 24, from + 24);
      if (length > 32) [[unlikely]]
        CopyMatchWild(op + 32, distance, length - 32);
    } else {
      CopyMatchWild(op, distance, length);
    }
    op += length;
  }

  if (!ended) {
    // Near an end or near stop: every bit, byte and copy is checked.
    bool bad = false;
    auto bit = [&]() -> uint32_t {
      if (left == 0) {
        if (inEnd - in < 4) {
          bad = true;
          return 0;
        }
        bits = uint64_t{Load32(in)} << 32;
        in += 4;
        left = 32;
      }
      const uint32_t b = static_cast<uint32_t>(bits >> 63);
      bits <<= 1;
      --left;
      return b;
    };
    auto number = [&](unsigned n) -> uint32_t {
      uint32_t v = 0;
      while (n-- > 0) v = v << 1 | bit();
      return v;
    };
    auto byte = [&]() -> uint32_t {
      if (in >= inEnd) {
        bad = true;
        return 0;
      }
      return *in++;
    };
    for (;;) {
      if (static_cast<size_t>(op - out) >= stop) {
        decoder->In = in;
        decoder->Bits = bits;
        decoder->Left = left;
        *end = static_cast<size_t>(op - out);
        return kBlockPaused;
      }
      if (bit()) {
        const uint32_t b = byte();
        if (bad || op >= outEnd) return 0;
        *op++ = static_cast<uint8_t>(b);
        continue;
      }
      size_t distance, length;
      if (bit()) {
        const uint32_t far = bit();
        const uint32_t b = byte();
        if (!far) {
          distance = b + 1;
        } else {
          const uint32_t v = b << kFarPairExtraBits | number(kFarPairExtraBits);
          if (bad) return 0;
          if (v == kEndMarkerValue) break;
          distance = v + kFarPairBase;
        }
        length = 2;
      } else {
        const CodeClass& dc = kDistanceClasses[TakeCodeClass(kDistanceClasses, bit)];
        const uint32_t b = byte();
        distance = dc.base + (b << dc.extraBits) + number(dc.extraBits) + 1;
        const CodeClass& lc = kLengthClasses[TakeCodeClass(kLengthClasses, bit)];
        length = lc.base + (lc.takesByte ? byte() : number(lc.extraBits));
      }
      if (bad || distance > static_cast<size_t>(op - out) ||
          length > static_cast<size_t>(outEnd - op))
        return 0;
      const uint8_t* s = op - distance;
      for (size_t i = 0; i < length; ++i) op[i] = s[i];
      op += length;
    }
  }
  decoder->In = in;
  decoder->Bits = bits;
  decoder->Left = left;
  *end = static_cast<size_t>(op - out);
  return kBlockEnded;
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("lzcnt")]] int DecodePartLzcnt(BlockDecoder* decoder, uint8_t* out, size_t start,
                                             size_t stop, size_t capacity, size_t* end) {
  return DecodePart(decoder, out, start, stop, capacity, end);
}

bool HasLzcnt() {
  unsigned a, b, c, d;
  return __get_cpuid(0x80000001, &a, &b, &c, &d) && (c & bit_LZCNT) != 0;
}

// Asked once when the program starts. A static inside the function would
// need a guard of the C++ runtime, and with it the runtime's exception
// support, which the updater has no other use for.
const bool kHasLzcnt = HasLzcnt();
#endif

}  // namespace

int StartBlockDecoder(BlockDecoder* decoder, const void* source, size_t sourceLength) {
  const uint8_t* const begin = static_cast<const uint8_t*>(source);
  decoder->Begin = begin;
  decoder->End = begin + sourceLength;
  decoder->In = begin;
  decoder->Bits = 0;
  decoder->Left = 0;
  if (sourceLength < 4) return 0;
  decoder->Bits = uint64_t{Load32(begin)} << 32;
  decoder->Left = 32;
  decoder->In = begin + 4;
  return 1;
}

int DecodeBlockPart(BlockDecoder* decoder, void* buffer, size_t start, size_t stop,
                    size_t capacity, size_t* end) {
  uint8_t* const out = static_cast<uint8_t*>(buffer);
  if (start > capacity) return 0;
#if defined(__x86_64__) || defined(__i386__)
  if (kHasLzcnt) return DecodePartLzcnt(decoder, out, start, stop, capacity, end);
#endif
  return DecodePart(decoder, out, start, stop, capacity, end);
}

int DecompressBlockBounded(void* destination, size_t capacity, const void* source,
                           size_t sourceLength, size_t* produced, size_t* consumed) {
  BlockDecoder decoder;
  if (!StartBlockDecoder(&decoder, source, sourceLength)) return 0;
  size_t end = 0;
  // Past the capacity, stop is never reached: the stream ends or fails.
  if (DecodeBlockPart(&decoder, destination, 0, SIZE_MAX, capacity, &end) != kBlockEnded)
    return 0;
  if (produced) *produced = end;
  if (consumed) *consumed = static_cast<size_t>(decoder.In - decoder.Begin);
  return 1;
}
