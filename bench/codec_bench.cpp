// Decode and encode speed of the FA2 block codec on the benchmark corpus,
// beside memcpy, zlib, libdeflate and LZ4 on the same files, and the FA2
// encoder's size and speed at every level. Prints Markdown tables, headed by
// the processor's name. Each figure is the best of several runs, each timed
// by the processor time of this thread, so that other processes sharing the
// machine do not count; MB/s counts
// the original (decoded) bytes, 1 MB = 1,000,000 bytes. "Stored" counts each
// file as an archive stores it: its stream, or the file itself when that is
// shorter.
//
// Usage: codec_bench [CORPUS_DIR] [RUNS]
#include <libdeflate.h>
#include <lz4.h>
#include <lz4hc.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "archive/decompress.h"
#include "fa2/archive/encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Sample {
  std::string name;
  Bytes data;
  Bytes fa2, gzip, lz4;  // the file packed by each codec
};

double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double Seconds(const std::function<void()>& f, int runs) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const double t0 = ThreadSeconds();
    f();
    best = std::min(best, ThreadSeconds() - t0);
  }
  return best;
}

Bytes GzipCompress(const Bytes& data) {
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) abort();
  Bytes out(deflateBound(&z, data.size()));
  z.next_in = const_cast<Bytes::value_type*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) abort();
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void ZlibInflate(const Bytes& gz, Bytes& out) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) abort();
  z.next_in = const_cast<Bytes::value_type*>(gz.data());
  z.avail_in = static_cast<uInt>(gz.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  if (inflate(&z, Z_FINISH) != Z_STREAM_END || z.total_out != out.size()) abort();
  inflateEnd(&z);
}

double Mbps(size_t bytes, double seconds) { return bytes / seconds / 1e6; }

// The processor's model name, as the system reports it.
std::string CpuName() {
  std::ifstream f("/proc/cpuinfo");
  for (std::string line; std::getline(f, line);) {
    if (line.rfind("model name", 0) == 0) {
      const size_t colon = line.find(':');
      if (colon != std::string::npos) return line.substr(line.find_first_not_of(' ', colon + 1));
    }
  }
  return "unknown processor";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: codec_bench [CORPUS_DIR] [RUNS]\n(the corpus by default: %s)\n", CORPUS_DIR);
    return 0;
  }
  std::filesystem::path dir = argc > 1 ? argv[1] : CORPUS_DIR;
  int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 9;

  std::vector<Sample> samples;
  std::vector<std::filesystem::path> paths;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    if (e.is_regular_file() && name != "README.md" && name != "SHA256SUMS") paths.push_back(e.path());
  }
  std::sort(paths.begin(), paths.end());
  if (paths.empty()) {
    fprintf(stderr, "codec_bench: no files in %s\n", dir.c_str());
    return 1;
  }
  for (const auto& p : paths) {
    std::ifstream f(p, std::ios::binary);
    samples.push_back({p.filename().string(), Bytes(std::istreambuf_iterator<char>(f), {}), {}, {}, {}});
  }

  libdeflate_decompressor* ld = libdeflate_alloc_decompressor();
  enum { kFa2, kMemcpy, kZlib, kLibdeflate, kLz4, kCodecs };
  const char* codecName[kCodecs] = {"FA2", "memcpy", "zlib", "libdeflate", "LZ4"};
  double decodeTime[kCodecs] = {};
  double encodeTime = 0;
  size_t total = 0, fa2Total = 0, gzipTotal = 0, lz4Total = 0;

  printf("Machine: %s, %u hardware threads\n\n", CpuName().c_str(), std::thread::hardware_concurrency());
  printf("## Per file (FA2 at the default level %d)\n\n", kCompressLevelDefault);
  printf("| file | bytes | FA2 | gzip -9 | LZ4 HC 9 | FA2 encode MB/s | FA2 decode MB/s | libdeflate MB/s |\n");
  printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
  for (Sample& s : samples) {
    const Bytes& d = s.data;
    double enc = Seconds([&] { s.fa2 = CompressBlock(d.data(), d.size()); }, std::min(runs, 3));
    encodeTime += enc;
    s.gzip = GzipCompress(d);
    s.lz4.resize(LZ4_compressBound(static_cast<int>(d.size())));
    int n = LZ4_compress_HC(reinterpret_cast<const char*>(d.data()), reinterpret_cast<char*>(s.lz4.data()),
                            static_cast<int>(d.size()), static_cast<int>(s.lz4.size()), LZ4HC_CLEVEL_DEFAULT);
    if (n <= 0) abort();
    s.lz4.resize(n);

    Bytes out(d.size());
    double t[kCodecs];
    t[kFa2] = Seconds([&] {
      size_t produced = 0;
      if (!DecompressBlockBounded(out.data(), out.size(), s.fa2.data(), s.fa2.size(), &produced, nullptr) ||
          produced != d.size())
        abort();
    }, runs);
    if (out != d) { fprintf(stderr, "FA2 round trip failed on %s\n", s.name.c_str()); return 1; }
    t[kMemcpy] = Seconds([&] { memcpy(out.data(), d.data(), d.size()); }, runs);
    t[kZlib] = Seconds([&] { ZlibInflate(s.gzip, out); }, runs);
    t[kLibdeflate] = Seconds([&] {
      if (libdeflate_gzip_decompress(ld, s.gzip.data(), s.gzip.size(), out.data(), out.size(), nullptr) !=
          LIBDEFLATE_SUCCESS)
        abort();
    }, runs);
    t[kLz4] = Seconds([&] {
      if (LZ4_decompress_safe(reinterpret_cast<const char*>(s.lz4.data()), reinterpret_cast<char*>(out.data()),
                              static_cast<int>(s.lz4.size()), static_cast<int>(out.size())) !=
          static_cast<int>(d.size()))
        abort();
    }, runs);
    if (out != d) { fprintf(stderr, "LZ4 round trip failed on %s\n", s.name.c_str()); return 1; }
    for (int c = 0; c < kCodecs; ++c) decodeTime[c] += t[c];

    printf("| %s | %zu | %zu | %zu | %zu | %.1f | %.0f | %.0f |\n", s.name.c_str(), d.size(), s.fa2.size(),
           s.gzip.size(), s.lz4.size(), Mbps(d.size(), enc), Mbps(d.size(), t[kFa2]),
           Mbps(d.size(), t[kLibdeflate]));
    total += d.size();
    fa2Total += s.fa2.size();
    gzipTotal += s.gzip.size();
    lz4Total += s.lz4.size();
  }
  libdeflate_free_decompressor(ld);

  printf("\n## Whole corpus (%zu files, %zu bytes)\n\n", samples.size(), total);
  printf("| codec | packed bytes | decode MB/s |\n|---|---:|---:|\n");
  for (int c = 0; c < kCodecs; ++c) {
    size_t packed = c == kFa2                     ? fa2Total
                  : c == kMemcpy                   ? total
                  : c == kLz4                      ? lz4Total
                                                   : gzipTotal;
    const char* note = c == kZlib || c == kLibdeflate ? " (gzip -9)" : c == kLz4 ? " (HC level 9)" : "";
    printf("| %s%s | %zu | %.0f |\n", codecName[c], note, packed, Mbps(total, decodeTime[c]));
  }
  printf("\nFA2 encode (default level): %.1f MB/s. FA2 decode is %.2fx libdeflate.\n",
         Mbps(total, encodeTime), decodeTime[kLibdeflate] / decodeTime[kFa2]);

  printf("\n## FA2 levels (whole corpus)\n\n");
  printf("| level | stream bytes | stored bytes | encode MB/s |\n|---:|---:|---:|---:|\n");
  for (int level = kCompressLevelFastest; level <= kCompressLevelSmallest; ++level) {
    size_t streams = 0, stored = 0;
    double seconds = 0;
    for (const Sample& s : samples) {
      Bytes stream;
      seconds += Seconds([&] { stream = CompressBlock(s.data.data(), s.data.size(), level); },
                         std::min(runs, 2));
      size_t produced = 0;
      Bytes out(s.data.size());
      if (!DecompressBlockBounded(out.data(), out.size(), stream.data(), stream.size(), &produced,
                                  nullptr) ||
          produced != s.data.size() || out != s.data) {
        fprintf(stderr, "FA2 level %d round trip failed on %s\n", level, s.name.c_str());
        return 1;
      }
      streams += stream.size();
      stored += std::min(stream.size(), s.data.size());
    }
    printf("| %d%s | %zu | %zu | %.1f |\n", level, level == kCompressLevelDefault ? " (default)" : "",
           streams, stored, Mbps(total, seconds));
  }
  return 0;
}
