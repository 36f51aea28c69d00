// The bounded block decoder on arbitrary input. The output buffer is exactly
// as large as the capacity given, and the input exactly as long as the length
// given, so that any access outside them is caught. Each input is decoded with
// a small capacity (mostly the careful loop near the buffers' ends) and with a
// large one (mostly the fast loop); a stream that decodes is decoded again
// from its own length into exactly its output's size, which has to agree, and
// in parts through a buffer that keeps only the window, which has to agree
// with the whole decode wherever both finish.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/block_format.h"
#include "archive/decompress.h"

namespace {

// Decodes in parts of room bytes through a buffer of exactly the window, the
// room and the slack. Returns the output, or leaves ok 0 when the stream is
// refused or runs past limit bytes.
std::vector<uint8_t> DecodeInParts(const uint8_t* source, size_t size, size_t room, size_t limit,
                                   size_t* consumed, int* ok) {
  std::vector<uint8_t> output;
  *ok = 0;
  BlockDecoder decoder;
  if (!StartBlockDecoder(&decoder, source, size)) return output;
  std::vector<uint8_t> buffer(kBlockWindow + room + kBlockPartSlack);
  size_t kept = 0, end = 0;
  for (;;) {
    const int result = DecodeBlockPart(&decoder, buffer.data(), kept, kept + room, buffer.size(), &end);
    if (result == 0) return output;
    if (end < kept || end > kept + room + kBlockPartSlack) abort();
    output.insert(output.end(), buffer.begin() + kept, buffer.begin() + end);
    if (result == kBlockEnded) break;
    if (end < kept + room) abort();  // a pause only at stop
    if (output.size() > limit) return output;
    kept = end < kBlockWindow ? end : kBlockWindow;
    memmove(buffer.data(), buffer.data() + end - kept, kept);
  }
  *consumed = static_cast<size_t>(decoder.In - decoder.Begin);
  *ok = 1;
  return output;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A private copy, so that reads past the end hit the heap redzone.
  std::vector<uint8_t> input(data, data + size);
  const uint8_t* source = input.empty() ? nullptr : input.data();
  // Allocated once (clearing a megabyte each run would dominate), each
  // exactly as large as its capacity.
  static std::vector<uint8_t> small(64), large(size_t{1} << 20);
  int wholeOk = 0;
  size_t wholeProduced = 0, wholeConsumed = 0;
  for (std::vector<uint8_t>* buffer : {&small, &large}) {
    std::vector<uint8_t>& out = *buffer;
    size_t capacity = out.size();
    size_t produced = 0, consumed = 0;
    wholeOk = DecompressBlockBounded(out.data(), capacity, source, size, &produced, &consumed);
    wholeProduced = produced;
    wholeConsumed = consumed;
    if (wholeOk) {
      if (produced > capacity || consumed > size || consumed < 5) abort();
      // No stream decodes to more than the bound that readers check sizes by.
      if (produced > MaxDecodedSize(consumed)) abort();
      // A stream that decodes is a whole stream: its own length is enough.
      std::vector<uint8_t> again(produced);
      size_t produced2 = 0, consumed2 = 0;
      if (!DecompressBlockBounded(again.data(), produced, source, consumed, &produced2, &consumed2) ||
          produced2 != produced || consumed2 != consumed ||
          (produced != 0 && memcmp(again.data(), out.data(), produced) != 0))
        abort();
    }
  }

  // In parts, from one code per part to several kilobytes: the same bytes and
  // stream length as the whole decode into the large buffer, and success
  // exactly when it succeeds (a longer output only fails there for room).
  const size_t room = size == 0 ? 1 : 1 + (data[size - 1] * 37u + size) % 5000;
  int partsOk = 0;
  size_t partsConsumed = 0;
  const std::vector<uint8_t> parts =
      DecodeInParts(source, size, room, large.size(), &partsConsumed, &partsOk);
  if (partsOk && parts.size() <= large.size() && !wholeOk) abort();
  if (wholeOk && (!partsOk || parts.size() != wholeProduced || partsConsumed != wholeConsumed ||
                  (wholeProduced != 0 && memcmp(parts.data(), large.data(), wholeProduced) != 0)))
    abort();
  return 0;
}
