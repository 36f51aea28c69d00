// Speed of the updater's payload check (XXH3-128 over the payload, as
// CheckPayloadDigest runs it) beside memcpy of the same bytes. The payload
// is the corpus files one after the other, repeated up to the size asked
// for (200 MB by default). Each figure is the best of several runs; 1 MB =
// 1,000,000 bytes.
//
// Usage: digest_bench [CORPUS_DIR] [MEGABYTES] [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "archive/payload_digest.h"

namespace {

double Seconds(const std::function<void()>& f, int runs) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: digest_bench [CORPUS_DIR] [MEGABYTES] [RUNS]\n(the corpus by default: %s)\n", CORPUS_DIR);
    return 0;
  }
  const std::string corpus = argc > 1 ? argv[1] : CORPUS_DIR;
  const size_t size = (argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 200) * 1000000;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;

  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(corpus))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  std::vector<uint8_t> corpusBytes;
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    corpusBytes.insert(corpusBytes.end(), std::istreambuf_iterator<char>(in), {});
  }
  if (corpusBytes.empty()) {
    std::fprintf(stderr, "digest_bench: %s: no corpus files\n", corpus.c_str());
    return 1;
  }
  std::vector<uint8_t> payload(size), copy(size);
  for (size_t at = 0; at < size; at += corpusBytes.size())
    std::memcpy(payload.data() + at, corpusBytes.data(), std::min(corpusBytes.size(), size - at));

  uint8_t record[kPayloadDigestRecordSize];
  BuildPayloadDigestRecord(payload.data(), payload.size(), record);
  int matches = 1;
  const double check = Seconds([&] {
    matches &= CheckPayloadDigest(record, sizeof record, payload.data(), payload.size()) ==
               kDigestMatches;
  }, runs);
  const double memcpySeconds = Seconds([&] { std::memcpy(copy.data(), payload.data(), size); }, runs);
  if (!matches) return 1;

  std::printf("| %.0f MB payload, best of %d | seconds | MB/s |\n|---|---:|---:|\n",
              size / 1e6, runs);
  std::printf("| payload check (XXH3-128) | %.4f | %.0f |\n", check, size / 1e6 / check);
  std::printf("| memcpy | %.4f | %.0f |\n", memcpySeconds, size / 1e6 / memcpySeconds);
  return 0;
}
