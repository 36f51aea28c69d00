// A deliberately simple, independent writer of FA2 streams for tests. Codes
// are first written down as the decoder will take them (a list of control
// bits and data bytes); Layout() then places a control word in front of
// whatever comes next each time the decoder runs out of bits. Nothing here
// shares code with the real encoder, so streams made here check the decoder
// against the format rather than against the encoder's habits.
#ifndef TESTS_NATIVE_NAIVE_STREAM_H
#define TESTS_NATIVE_NAIVE_STREAM_H

#include <cstddef>
#include <cstdint>
#include <vector>

class NaiveStream {
 public:
  void Literal(uint8_t b) { Bit(1); Byte(b); }
  void NearPair(unsigned distance) {  // 1..256
    Bit(0); Bit(1); Bit(0); Byte(static_cast<uint8_t>(distance - 1));
  }
  void FarPairValue(unsigned v) {  // 0..2047; 2047 is the end marker
    Bit(0); Bit(1); Bit(1); Byte(static_cast<uint8_t>(v >> 3)); Bits(v & 7, 3);
  }
  void FarPair(unsigned distance) { FarPairValue(distance - 257); }  // 257..2303
  void End() { FarPairValue(2047); }
  // A match of length 3..282 from distance 1..8192, written with the
  // distance class the format prescribes.
  void Match(unsigned length, unsigned distance) {
    unsigned d = distance - 1;
    Bit(0); Bit(0);
    if (d < 512) { Bit(1); Byte(d >> 1); Bits(d & 1, 1); }
    else if (d < 1024) { Bit(0); Bit(1); Byte((d - 512) >> 1); Bits(d & 1, 1); }
    else if (d < 2048) { Bits(1, 3); Byte((d - 1024) >> 2); Bits(d & 3, 2); }
    else if (d < 4096) { Bits(1, 4); Byte((d - 2048) >> 3); Bits(d & 7, 3); }
    else { Bits(0, 4); Byte((d - 4096) >> 4); Bits(d & 15, 4); }
    if (length == 3) Bit(1);
    else if (length == 4) Bits(1, 2);
    else if (length <= 6) { Bits(1, 3); Bits(length - 5, 1); }
    else if (length <= 10) { Bits(1, 4); Bits(length - 7, 2); }
    else if (length <= 26) { Bits(1, 5); Bits(length - 11, 4); }
    else { Bits(0, 5); Byte(static_cast<uint8_t>(length - 27)); }
  }

  // The stream bytes, control words placed where the decoder reads them.
  // The bits of the last word after the end marker are zero.
  std::vector<uint8_t> Layout() const {
    std::vector<uint8_t> out;
    size_t wordAt = 0;
    int bitsInWord = 32;  // forces a word before the first bit
    for (const Item& item : items_) {
      if (item.isBit) {
        if (bitsInWord == 32) {
          wordAt = out.size();
          out.insert(out.end(), 4, 0);
          bitsInWord = 0;
        }
        // Bit 31 first: the word's bit (31 - bitsInWord) lives in byte
        // (31 - bitsInWord) / 8 of the little-endian word.
        int bit = 31 - bitsInWord;
        if (item.value) out[wordAt + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
        ++bitsInWord;
      } else {
        out.push_back(item.value);
      }
    }
    return out;
  }

 private:
  struct Item {
    bool isBit;
    uint8_t value;
  };
  void Bit(unsigned b) { items_.push_back({true, static_cast<uint8_t>(b & 1)}); }
  void Bits(unsigned v, int count) {
    for (int i = count - 1; i >= 0; --i) Bit(v >> i);
  }
  void Byte(unsigned b) { items_.push_back({false, static_cast<uint8_t>(b)}); }

  std::vector<Item> items_;
};

#endif
