// Encodes arbitrary data at one level, decodes the stream with the bounded
// decoder into a buffer of exactly the data's size, and compares. The first
// byte's low two bits repeat the rest up to three more times, so that the
// longest matches and the parses' shortcuts for them meet the fuzzer's data;
// its other bits pick the level. One level a run, not all of them: each
// level sets up its match finder afresh, and nine of them made a run so slow
// that half a minute of fuzzing reached only about 2,000 inputs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/decompress.h"
#include "fa2/archive/encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t inputSize) {
  if (inputSize == 0) return 0;
  const unsigned repeats = input[0] & 3;
  std::vector<uint8_t> data(input + 1, input + inputSize);
  const size_t piece = data.size();
  for (unsigned i = 0; i < repeats && piece != 0; ++i)
    data.insert(data.end(), data.begin(), data.begin() + piece);
  const size_t size = data.size();
  constexpr int kLevels = kCompressLevelSmallest - kCompressLevelFastest + 1;
  {
    const int level = kCompressLevelFastest + (input[0] >> 2) % kLevels;
    std::vector<uint8_t> stream = CompressBlock(data.data(), size, level);
    if (stream.size() > CompressBound(size)) abort();
    std::vector<uint8_t> out(size);
    size_t produced = 0, consumed = 0;
    if (!DecompressBlockBounded(out.data(), size, stream.data(), stream.size(), &produced,
                                &consumed))
      abort();
    if (produced != size || consumed != stream.size()) abort();
    if (size != 0 && memcmp(out.data(), data.data(), size) != 0) abort();
  }
  return 0;
}
