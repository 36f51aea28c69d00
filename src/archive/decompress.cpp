// The FA2 block decoder: a plain, byte-at-a-time version of both entry points.
#include "archive/decompress.h"

#include <cstdint>
#include <cstring>

namespace {

uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

void DecompressBlock(void* destination, const void* source) {
  DecompressBlockBounded(destination, SIZE_MAX, source, SIZE_MAX, nullptr, nullptr);
}

int DecompressBlockBounded(void* destination, size_t capacity, const void* source,
                           size_t sourceLength, size_t* produced, size_t* consumed) {
  uint8_t* const out = static_cast<uint8_t*>(destination);
  const uint8_t* const in = static_cast<const uint8_t*>(source);
  size_t r = 0, w = 0;
  uint32_t word = 0;
  int left = 0;
  bool bad = false;
  auto bit = [&]() -> uint32_t {
    if (left == 0) {
      if (sourceLength - r < 4) { bad = true; return 0; }
      word = LoadLe32(in + r);
      r += 4;
      left = 32;
    }
    uint32_t b = word >> 31;
    word <<= 1;
    --left;
    return b;
  };
  auto bits = [&](int n) -> uint32_t {
    uint32_t v = 0;
    while (n-- > 0) v = v << 1 | bit();
    return v;
  };
  auto byte = [&]() -> uint32_t {
    if (r >= sourceLength) { bad = true; return 0; }
    return in[r++];
  };
  auto copy = [&](size_t distance, size_t length) {
    if (distance > w || capacity - w < length) { bad = true; return; }
    for (size_t i = 0; i < length; ++i) out[w + i] = out[w + i - distance];
    w += length;
  };

  if (sourceLength < 4) return 0;
  word = LoadLe32(in);
  r = 4;
  left = 32;
  while (!bad) {
    if (bit()) {
      uint32_t b = byte();
      if (bad) break;
      if (w >= capacity) return 0;
      out[w++] = static_cast<uint8_t>(b);
      continue;
    }
    if (bit()) {
      uint32_t x = bit();
      uint32_t b = byte();
      if (x == 0) {
        if (bad) break;
        copy(b + 1, 2);
        continue;
      }
      uint32_t v = b * 8 + bits(3);
      if (bad) break;
      if (v == 2047) {
        if (produced) *produced = w;
        if (consumed) *consumed = r;
        return 1;
      }
      copy(v + 257, 2);
      continue;
    }
    uint32_t d;
    if (bit()) {
      d = byte() * 2;
      d += bit();
    } else if (bit()) {
      d = 512 + byte() * 2;
      d += bit();
    } else if (bit()) {
      d = 1024 + byte() * 4;
      d += bits(2);
    } else if (bit()) {
      d = 2048 + byte() * 8;
      d += bits(3);
    } else {
      d = 4096 + byte() * 16;
      d += bits(4);
    }
    uint32_t len;
    if (bit()) len = 3;
    else if (bit()) len = 4;
    else if (bit()) len = 5 + bit();
    else if (bit()) len = 7 + bits(2);
    else if (bit()) len = 11 + bits(4);
    else len = 27 + byte();
    if (bad) break;
    copy(d + 1, len);
  }
  return 0;
}
