// The FA2 block encoder: hash chains over the 8 KiB window, greedy or lazy
// parsing, and a bit writer that places each control word where the decoder
// will look for it.
#include "fa2/encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr size_t kWindow = 8192;         // largest match distance
constexpr size_t kMaxMatch = 282;        // longest match
constexpr size_t kMinMatch = 3;          // shortest match; two bytes go as pairs
constexpr size_t kMaxNearPair = 256;     // pair distances 1..256 ...
constexpr size_t kMaxFarPair = 2303;     // ... and 257..2303 (V 2047 is the end marker)
constexpr int kMaxHashBits = 15;  // hash chain heads; fewer for small inputs
constexpr uint32_t kLiteralCost = 9;     // in stream bits: one control bit and one byte

void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  memcpy(&v, p, 8);
  return v;
}

// Writes a stream into a buffer of CompressBound bytes. The current control
// word collects bits from bit 31 down; its 4 bytes were reserved in the
// output when its first bit was emitted, so that data bytes emitted since
// then follow it, exactly as the decoder reads them.
struct StreamWriter {
  uint8_t* base;
  size_t pos;       // end of the stream so far
  size_t control;   // where the current control word goes
  uint32_t word;
  int used;         // bits of word already emitted
};

void StartStream(StreamWriter& s, uint8_t* base) {
  s.base = base;
  s.control = 0;
  s.pos = 4;
  s.word = 0;
  s.used = 0;
}

// Emits the count low bits of value, most significant first.
void PutBits(StreamWriter& s, uint32_t value, int count) {
  while (count > 0) {
    if (s.used == 32) {
      StoreLe32(s.base + s.control, s.word);
      s.control = s.pos;
      s.pos += 4;
      s.word = 0;
      s.used = 0;
    }
    int take = std::min(count, 32 - s.used);
    uint32_t part = (value >> (count - take)) & ((take == 32) ? ~0u : ((1u << take) - 1));
    s.word |= part << (32 - s.used - take);
    s.used += take;
    count -= take;
  }
}

void PutByte(StreamWriter& s, uint32_t byte) { s.base[s.pos++] = static_cast<uint8_t>(byte); }

size_t FinishStream(StreamWriter& s) {
  StoreLe32(s.base + s.control, s.word);
  return s.pos;
}

void PutLiteral(StreamWriter& s, uint8_t byte) {
  PutBits(s, 1, 1);
  PutByte(s, byte);
}

// A two-byte copy: near pair for distances up to 256, far pair beyond.
void PutPair(StreamWriter& s, size_t distance) {
  if (distance <= kMaxNearPair) {
    PutBits(s, 0b010, 3);
    PutByte(s, static_cast<uint32_t>(distance - 1));
  } else {
    uint32_t v = static_cast<uint32_t>(distance - 257);
    PutBits(s, 0b011, 3);
    PutByte(s, v >> 3);
    PutBits(s, v & 7, 3);
  }
}

void PutEndMarker(StreamWriter& s) {
  PutBits(s, 0b011, 3);
  PutByte(s, 0xFF);
  PutBits(s, 7, 3);
}

void PutMatch(StreamWriter& s, size_t length, size_t distance) {
  uint32_t d = static_cast<uint32_t>(distance - 1);
  PutBits(s, 0b00, 2);
  if (d < 512) {
    PutBits(s, 1, 1);
    PutByte(s, d >> 1);
    PutBits(s, d & 1, 1);
  } else if (d < 1024) {
    PutBits(s, 0b01, 2);
    PutByte(s, (d - 512) >> 1);
    PutBits(s, d & 1, 1);
  } else if (d < 2048) {
    PutBits(s, 0b001, 3);
    PutByte(s, (d - 1024) >> 2);
    PutBits(s, d & 3, 2);
  } else if (d < 4096) {
    PutBits(s, 0b0001, 4);
    PutByte(s, (d - 2048) >> 3);
    PutBits(s, d & 7, 3);
  } else {
    PutBits(s, 0b0000, 4);
    PutByte(s, (d - 4096) >> 4);
    PutBits(s, d & 15, 4);
  }
  uint32_t n = static_cast<uint32_t>(length);
  if (n == 3) {
    PutBits(s, 1, 1);
  } else if (n == 4) {
    PutBits(s, 0b01, 2);
  } else if (n <= 6) {
    PutBits(s, 0b001, 3);
    PutBits(s, n - 5, 1);
  } else if (n <= 10) {
    PutBits(s, 0b0001, 4);
    PutBits(s, n - 7, 2);
  } else if (n <= 26) {
    PutBits(s, 0b00001, 5);
    PutBits(s, n - 11, 4);
  } else {
    PutBits(s, 0b00000, 5);
    PutByte(s, n - 27);
  }
}

// Stream bits that a copy of length bytes from distance costs.
uint32_t CopyCost(size_t length, size_t distance) {
  if (length == 2) return distance <= kMaxNearPair ? 11 : 14;
  uint32_t cost = 2;
  if (distance <= 512) cost += 10;
  else if (distance <= 1024) cost += 11;
  else if (distance <= 2048) cost += 13;
  else if (distance <= 4096) cost += 15;
  else cost += 16;
  if (length == 3) cost += 1;
  else if (length == 4) cost += 2;
  else if (length <= 6) cost += 4;
  else if (length <= 10) cost += 6;
  else if (length <= 26) cost += 9;
  else cost += 13;
  return cost;
}

struct Copy {
  size_t length = 0;  // 0: none found
  size_t distance = 0;
  int32_t savings = 0;  // bits saved against literals
};

struct LevelParams {
  int maxChain;      // hash chain entries looked at per position
  size_t niceLength; // a match this long is taken at once
  bool lazy;
};

constexpr LevelParams kLevels[] = {
    {4, 32, false},    // kCompressLevelFastest
    {48, 128, true},   // kCompressLevelDefault
    {1024, kMaxMatch, true},  // kCompressLevelBest
};

// Hash chains over the window: head holds the last position (plus one, zero
// for none) of each hash of three bytes, prev links each position to the
// previous one of the same hash. lastPair holds the last position of each
// two-byte value, for pairs.
struct MatchFinder {
  const uint8_t* data;
  size_t size;
  std::vector<size_t> head;
  std::vector<size_t> prev;
  std::vector<size_t> lastPair;
  int hashBits;      // head has 1 << hashBits entries, lastPair twice as many
  size_t prevMask;   // prev has prevMask + 1 entries: the window, or less for small inputs
  size_t inserted;  // positions below this are in the tables
  LevelParams params;
};

uint32_t Hash3(const uint8_t* p, int bits) {
  uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
  return (v * 2654435761u) >> (32 - bits);
}

// Two bytes, hashed unless the table holds every value; a hit is checked
// against the data.
uint32_t PairKey(const uint8_t* p, int bits) {
  uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8;
  return bits >= 16 ? v : (v * 2654435761u) >> (32 - bits);
}

void InsertUpTo(MatchFinder& f, size_t end) {
  end = std::min(end, f.size);
  for (size_t p = f.inserted; p < end; ++p) {
    if (p + 3 <= f.size) {
      uint32_t h = Hash3(f.data + p, f.hashBits);
      f.prev[p & f.prevMask] = f.head[h];
      f.head[h] = p + 1;
    }
    if (p + 2 <= f.size) f.lastPair[PairKey(f.data + p, f.hashBits + 1)] = p + 1;
  }
  f.inserted = std::max(f.inserted, end);
}

size_t MatchLength(const uint8_t* a, const uint8_t* b, size_t limit) {
  size_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x = Load64(a + n) ^ Load64(b + n);
    if (x != 0) return n + static_cast<size_t>(std::countr_zero(x)) / 8;
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// The copy that saves the most bits at pos, from positions already inserted
// (all of them before pos).
Copy FindCopy(const MatchFinder& f, size_t pos) {
  Copy best;
  size_t avail = std::min(f.size - pos, kMaxMatch);
  if (avail < 2) return best;
  const uint8_t* cur = f.data + pos;
  if (size_t c = f.lastPair[PairKey(cur, f.hashBits + 1)];
      c != 0 && pos - (c - 1) <= kMaxFarPair && f.data[c - 1] == cur[0] && f.data[c] == cur[1]) {
    best.length = 2;
    best.distance = pos - (c - 1);
    best.savings = static_cast<int32_t>(2 * kLiteralCost - CopyCost(2, best.distance));
  }
  if (avail < kMinMatch) return best;
  size_t chainBest = kMinMatch - 1;
  size_t cand = f.head[Hash3(cur, f.hashBits)];
  for (int depth = f.params.maxChain; cand != 0 && depth > 0; --depth) {
    size_t c = cand - 1;
    size_t distance = pos - c;
    if (distance > kWindow) break;
    const uint8_t* m = f.data + c;
    if (m[chainBest] == cur[chainBest]) {
      size_t len = MatchLength(m, cur, avail);
      if (len > chainBest) {
        chainBest = len;
        int32_t savings = static_cast<int32_t>(len * kLiteralCost - CopyCost(len, distance));
        if (savings > best.savings) {
          best.length = len;
          best.distance = distance;
          best.savings = savings;
        }
        if (len >= f.params.niceLength || len == avail) break;
      }
    }
    size_t next = f.prev[c & f.prevMask];
    if (next >= cand) break;  // a link overwritten by a newer position
    cand = next;
  }
  return best;
}

void PutCopy(StreamWriter& s, const Copy& c) {
  if (c.length == 2) PutPair(s, c.distance);
  else PutMatch(s, c.length, c.distance);
}

}  // namespace

size_t CompressBound(size_t size) { return size + size / 8 + 16; }

std::vector<uint8_t> CompressBlock(const uint8_t* data, size_t size, int level) {
  level = std::clamp(level, kCompressLevelFastest, kCompressLevelBest);
  std::vector<uint8_t> out(CompressBound(size));
  StreamWriter s;
  StartStream(s, out.data());

  MatchFinder f;
  f.data = data;
  f.size = size;
  // Tables sized to the input, so that small blocks (a directory, a short
  // file) do not pay for clearing large ones.
  f.hashBits = std::clamp(static_cast<int>(std::bit_width(size)), 8, kMaxHashBits);
  f.prevMask = std::min(kWindow, std::bit_ceil(std::max<size_t>(size, 1))) - 1;
  f.head.assign(size_t{1} << f.hashBits, 0);
  f.prev.assign(f.prevMask + 1, 0);
  f.lastPair.assign(size_t{1} << (f.hashBits + 1), 0);
  f.inserted = 0;
  f.params = kLevels[level];

  size_t pos = 0;
  while (pos < size) {
    InsertUpTo(f, pos);
    Copy m = FindCopy(f, pos);
    InsertUpTo(f, pos + 1);
    if (m.length == 0) {
      PutLiteral(s, data[pos]);
      ++pos;
      continue;
    }
    // Lazy parse: while the copy at the next position saves more, emit a
    // literal here and move on to it.
    if (f.params.lazy) {
      while (m.length < f.params.niceLength && pos + 1 < size) {
        Copy next = FindCopy(f, pos + 1);
        InsertUpTo(f, pos + 2);
        if (next.savings <= m.savings) break;
        PutLiteral(s, data[pos]);
        ++pos;
        m = next;
      }
    }
    PutCopy(s, m);
    pos += m.length;
  }
  PutEndMarker(s);
  out.resize(FinishStream(s));
  return out;
}
