// The bounded block decoder on arbitrary input. The output buffer is exactly
// as large as the capacity given, and the input exactly as long as the length
// given, so that any access outside them is caught. Each input is decoded with
// a small capacity (mostly the careful loop near the buffers' ends) and with a
// large one (mostly the fast loop); a stream that decodes is decoded again
// from its own length into exactly its output's size, which has to agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/block_format.h"
#include "archive/decompress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A private copy, so that reads past the end hit the heap redzone.
  std::vector<uint8_t> input(data, data + size);
  const uint8_t* source = input.empty() ? nullptr : input.data();
  // Allocated once (clearing a megabyte each run would dominate), each
  // exactly as large as its capacity.
  static std::vector<uint8_t> small(64), large(size_t{1} << 20);
  for (std::vector<uint8_t>* buffer : {&small, &large}) {
    std::vector<uint8_t>& out = *buffer;
    size_t capacity = out.size();
    size_t produced = 0, consumed = 0;
    if (DecompressBlockBounded(out.data(), capacity, source, size, &produced, &consumed)) {
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
  return 0;
}
