// Encodes arbitrary data at a level chosen by the first byte, decodes the
// stream with the bounded decoder into a buffer of exactly the data's size,
// and compares.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/decompress.h"
#include "fa2/encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int level = data[0] % (kCompressLevelOptimal + 1);
  ++data;
  --size;
  std::vector<uint8_t> stream = CompressBlock(data, size, level);
  if (stream.size() > CompressBound(size)) abort();
  std::vector<uint8_t> out(size);
  size_t produced = 0, consumed = 0;
  if (!DecompressBlockBounded(out.data(), size, stream.data(), stream.size(), &produced, &consumed))
    abort();
  if (produced != size || consumed != stream.size()) abort();
  if (size != 0 && memcmp(out.data(), data, size) != 0) abort();
  return 0;
}
