// The FA2 block encoder: hash chains over the window, a greedy, lazy or
// cost-optimal parse, and a bit writer that places each control word where
// the decoder will look for it.
#include "fa2/archive/encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr int kMaxHashBits = 15;  // hash chain heads; fewer for small inputs

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
  PutBits(s, 1, kLiteralCodeBits);
  PutByte(s, byte);
}

// Per match distance, its class by (distance - 1) >> 9, and the stream bits
// of a match by length, code prefix included, without the distance code.
struct CostTables {
  uint8_t distanceClass[kBlockWindow >> 9];
  uint8_t lengthClass[kBlockMaxMatch + 1];
  uint8_t lengthCost[kBlockMaxMatch + 1];
  constexpr CostTables() : distanceClass(), lengthClass(), lengthCost() {
    for (uint32_t i = 0; i < (kBlockWindow >> 9); ++i)
      distanceClass[i] = static_cast<uint8_t>(DistanceClassOf((i << 9) + 1));
    for (uint32_t n = kBlockMinMatch; n <= kBlockMaxMatch; ++n) {
      lengthClass[n] = static_cast<uint8_t>(LengthClassOf(n));
      lengthCost[n] = static_cast<uint8_t>(kMatchPrefixBits + ClassCost(kLengthClasses[lengthClass[n]]));
    }
  }
};
constexpr CostTables kCost;
static_assert(DistanceClassOf(512) == 0 && DistanceClassOf(513) == 1,
              "distance classes are whole multiples of 512 distances");

const CodeClass& DistanceClass(size_t distance) {
  return kDistanceClasses[kCost.distanceClass[(distance - 1) >> 9]];
}

// A two-byte copy: a near pair, or a far pair (the far pair of the end
// marker's value is never a copy).
void PutPair(StreamWriter& s, size_t distance) {
  const uint32_t far = distance > kNearPairMaxDistance;
  PutBits(s, kPairPrefix << 1 | far, kPairPrefixBits + 1);
  if (!far) {
    PutByte(s, static_cast<uint32_t>(distance - 1));
  } else {
    const uint32_t v = static_cast<uint32_t>(distance - kFarPairBase);
    PutByte(s, v >> kFarPairExtraBits);
    PutBits(s, v, kFarPairExtraBits);
  }
}

void PutEndMarker(StreamWriter& s) {
  PutBits(s, kPairPrefix << 1 | 1, kPairPrefixBits + 1);
  PutByte(s, kEndMarkerValue >> kFarPairExtraBits);
  PutBits(s, kEndMarkerValue, kFarPairExtraBits);
}

// The match prefix, the distance code (prefix, byte, extra bits) and the
// length code (prefix, then extra bits or a byte).
void PutMatch(StreamWriter& s, size_t length, size_t distance) {
  PutBits(s, kMatchPrefix, kMatchPrefixBits);
  const CodeClass& dc = DistanceClass(distance);
  const uint32_t d = static_cast<uint32_t>(distance - 1 - dc.base);
  PutBits(s, dc.prefix, dc.prefixBits);
  PutByte(s, d >> dc.extraBits);
  PutBits(s, d, dc.extraBits);
  const CodeClass& lc = kLengthClasses[kCost.lengthClass[length]];
  const uint32_t n = static_cast<uint32_t>(length - lc.base);
  PutBits(s, lc.prefix, lc.prefixBits);
  if (lc.takesByte) PutByte(s, n);
  else PutBits(s, n, lc.extraBits);
}

// Stream bits that a copy of length bytes from distance costs.
uint32_t CopyCost(size_t length, size_t distance) {
  if (length == 2) return PairCost(static_cast<uint32_t>(distance));
  return kCost.lengthCost[length] + ClassCost(DistanceClass(distance));
}

struct Copy {
  size_t length = 0;  // 0: none found
  size_t distance = 0;
  int32_t savings = 0;  // bits saved against literals
};

enum class Parse { kGreedy, kLazy, kOptimal };

struct LevelParams {
  int maxChain;       // hash chain entries looked at per position
  size_t niceLength;  // a match this long is taken at once
  Parse parse;
};

// Levels 1 to 9. Level 1 is the former fastest level and 6 the former
// default. On the benchmark corpus the optimal parse over 16 chain entries
// already packs smaller than the lazy parse over 1024, at a lower cost, so
// levels 7 to 9 are optimal parses searching ever deeper.
constexpr LevelParams kLevels[] = {
    {4, 32, Parse::kGreedy},
    {8, 48, Parse::kGreedy},
    {8, 64, Parse::kLazy},
    {16, 96, Parse::kLazy},
    {32, 128, Parse::kLazy},
    {48, 128, Parse::kLazy},
    {16, kBlockMaxMatch, Parse::kOptimal},
    {128, kBlockMaxMatch, Parse::kOptimal},
    {1024, kBlockMaxMatch, Parse::kOptimal},
};
static_assert(std::size(kLevels) == kCompressLevelSmallest - kCompressLevelFastest + 1);

// Hash chains over the window: head holds the last position (plus one, zero
// for none; in 32 bits, which halves the tables' share of the cache, so the
// input is shorter than 4 GiB) of each hash of three bytes, prev links each position to the
// previous one of the same hash. lastPair holds the last position of each
// two-byte value, for pairs.
struct MatchFinder {
  const uint8_t* data;
  size_t size;
  std::vector<uint32_t> head;
  std::vector<uint32_t> prev;
  std::vector<uint32_t> lastPair;
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
      f.head[h] = static_cast<uint32_t>(p + 1);
    }
    if (p + 2 <= f.size) f.lastPair[PairKey(f.data + p, f.hashBits + 1)] = static_cast<uint32_t>(p + 1);
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

// The distance of the nearest two-byte copy at pos that a pair can code, or
// 0 for none.
size_t FindPair(const MatchFinder& f, size_t pos) {
  const uint8_t* cur = f.data + pos;
  const size_t c = f.lastPair[PairKey(cur, f.hashBits + 1)];
  if (c == 0 || pos - (c - 1) > kFarPairMaxDistance || f.data[c - 1] != cur[0] ||
      f.data[c] != cur[1])
    return 0;
  return pos - (c - 1);
}

// Walks the hash chain at pos, nearest position first, and calls found(length,
// distance) for each match longer than every nearer one: so each call gives
// the nearest distance for the lengths above the previous call's, up to its
// own. Matches are at most limit bytes long (limit >= kBlockMinMatch).
template <typename Found>
void WalkChain(const MatchFinder& f, size_t pos, size_t limit, Found&& found) {
  const uint8_t* cur = f.data + pos;
  size_t chainBest = kBlockMinMatch - 1;
  size_t cand = f.head[Hash3(cur, f.hashBits)];
  for (int depth = f.params.maxChain; cand != 0 && depth > 0; --depth) {
    const size_t c = cand - 1;
    const size_t distance = pos - c;
    if (distance > kBlockWindow) break;
    const uint8_t* m = f.data + c;
    if (m[chainBest] == cur[chainBest]) {
      const size_t len = MatchLength(m, cur, limit);
      if (len > chainBest) {
        chainBest = len;
        if (!found(len, distance) || len == limit) break;
      }
    }
    const size_t next = f.prev[c & f.prevMask];
    if (next >= cand) break;  // a link overwritten by a newer position
    cand = next;
  }
}

// The copy that saves the most bits at pos, from positions already inserted
// (all of them before pos).
Copy FindCopy(const MatchFinder& f, size_t pos) {
  Copy best;
  const size_t avail = std::min<size_t>(f.size - pos, kBlockMaxMatch);
  if (avail < 2) return best;
  if (const size_t d = FindPair(f, pos)) {
    best.length = 2;
    best.distance = d;
    best.savings = static_cast<int32_t>(2 * kLiteralCost - CopyCost(2, d));
  }
  if (avail < kBlockMinMatch) return best;
  WalkChain(f, pos, avail, [&](size_t len, size_t distance) {
    const int32_t savings = static_cast<int32_t>(len * kLiteralCost - CopyCost(len, distance));
    if (savings > best.savings) {
      best.length = len;
      best.distance = distance;
      best.savings = savings;
    }
    return len < f.params.niceLength;
  });
  return best;
}

void PutCopy(StreamWriter& s, size_t length, size_t distance) {
  if (length == 2) PutPair(s, distance);
  else PutMatch(s, length, distance);
}

// Greedy or lazy parse: at each position the copy that saves the most bits;
// the lazy parse first looks whether the copy one byte on saves more.
void ParseGreedy(MatchFinder& f, StreamWriter& s) {
  const uint8_t* data = f.data;
  const size_t size = f.size;
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
    if (f.params.parse == Parse::kLazy) {
      while (m.length < f.params.niceLength && pos + 1 < size) {
        Copy next = FindCopy(f, pos + 1);
        InsertUpTo(f, pos + 2);
        if (next.savings <= m.savings) break;
        PutLiteral(s, data[pos]);
        ++pos;
        m = next;
      }
    }
    PutCopy(s, m.length, m.distance);
    pos += m.length;
  }
}

// The optimal parse. Every code has a fixed cost in stream bits whatever its
// place (control words only collect the bits), so the cheapest stream for a
// stretch of input is a shortest path: cost[k] is the fewest bits that code
// the first k bytes of the stretch, reached forward from every position by a
// literal, the nearest pair, and for every match length the nearest distance
// that reaches it. The input is parsed in stretches of kStretch bytes
// (copies end within their stretch), which bounds the memory; a stretch also
// ends at a match of niceLength bytes, which is taken as it is.
constexpr size_t kStretch = size_t{1} << 18;

struct Step {
  uint16_t length;  // 1: literal
  uint16_t distance;
};

void ParseOptimal(MatchFinder& f, StreamWriter& s) {
  const size_t size = f.size;
  const size_t stretch = std::min(kStretch, size);
  std::vector<uint32_t> cost(stretch + 1);
  std::vector<Step> step(stretch + 1);
  std::vector<Step> path;
  size_t start = 0;
  while (start < size) {
    const size_t end = std::min(size, start + stretch);
    const size_t n = end - start;
    std::fill(cost.begin() + 1, cost.begin() + n + 1, UINT32_MAX);
    cost[0] = 0;
    size_t stop = n;          // where the path through the costs ends
    Step taken = {0, 0};      // a long match taken after stop
    for (size_t k = 0; k < n; ++k) {
      const size_t pos = start + k;
      const uint32_t here = cost[k];
      if (here + kLiteralCost < cost[k + 1]) {
        cost[k + 1] = here + kLiteralCost;
        step[k + 1] = {1, 0};
      }
      const size_t limit = std::min<size_t>(n - k, kBlockMaxMatch);
      if (limit < 2) continue;
      InsertUpTo(f, pos);
      if (const size_t d = FindPair(f, pos)) {
        const uint32_t c = here + PairCost(static_cast<uint32_t>(d));
        if (c < cost[k + 2]) {
          cost[k + 2] = c;
          step[k + 2] = {2, static_cast<uint16_t>(d)};
        }
      }
      if (limit < kBlockMinMatch) continue;
      size_t from = kBlockMinMatch;
      WalkChain(f, pos, limit, [&](size_t len, size_t distance) {
        if (len >= f.params.niceLength) {
          taken = {static_cast<uint16_t>(len), static_cast<uint16_t>(distance)};
          return false;
        }
        const uint32_t base = here + ClassCost(DistanceClass(distance));
        for (size_t l = from; l <= len; ++l) {
          const uint32_t c = base + kCost.lengthCost[l];
          if (c < cost[k + l]) {
            cost[k + l] = c;
            step[k + l] = {static_cast<uint16_t>(l), static_cast<uint16_t>(distance)};
          }
        }
        from = len + 1;
        return true;
      });
      if (taken.length != 0) {
        stop = k;
        break;
      }
    }
    // Back from stop along the chosen steps, then out in stream order.
    path.clear();
    for (size_t k = stop; k > 0; k -= step[k].length) path.push_back(step[k]);
    if (taken.length != 0) path.insert(path.begin(), taken);
    size_t pos = start;
    for (auto it = path.rbegin(); it != path.rend(); ++it) {
      if (it->length == 1) PutLiteral(s, f.data[pos]);
      else PutCopy(s, it->length, it->distance);
      pos += it->length;
    }
    start = pos;
  }
}

}  // namespace

std::vector<uint8_t> CompressBlock(const uint8_t* data, size_t size, int level) {
  level = std::clamp(level, kCompressLevelFastest, kCompressLevelSmallest);
  std::vector<uint8_t> out(CompressBound(size));
  StreamWriter s;
  StartStream(s, out.data());

  MatchFinder f;
  f.data = data;
  f.size = size;
  // Tables sized to the input, so that small blocks (a directory, a short
  // file) do not pay for clearing large ones.
  f.hashBits = std::clamp(static_cast<int>(std::bit_width(size)), 8, kMaxHashBits);
  f.prevMask = std::min<size_t>(kBlockWindow, std::bit_ceil(std::max<size_t>(size, 1))) - 1;
  f.head.assign(size_t{1} << f.hashBits, 0);
  f.prev.assign(f.prevMask + 1, 0);
  f.lastPair.assign(size_t{1} << (f.hashBits + 1), 0);
  f.inserted = 0;
  f.params = kLevels[level - kCompressLevelFastest];

  if (size >= UINT32_MAX) {
    // Beyond what the 32-bit tables hold (and what an archive entry holds):
    // literals, a valid stream all the same.
    for (size_t i = 0; i < size; ++i) PutLiteral(s, data[i]);
  } else if (f.params.parse == Parse::kOptimal) {
    ParseOptimal(f, s);
  } else {
    ParseGreedy(f, s);
  }
  PutEndMarker(s);
  out.resize(FinishStream(s));
  return out;
}
