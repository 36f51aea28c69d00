// LoadArchiveDirectory over payloads in memory, as the updater loads its own:
// plain and compressed directories, each damaged case, and no block left
// behind by a failed load.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/archive_directory_win32.h"
#include "common/updater_state_win32.h"
#include "fa2/archive/archive_writer.h"
#include "fa2/archive/encoder.h"

namespace {

std::vector<PackedEntry> SampleEntries() {
  std::vector<PackedEntry> entries(3);
  std::string error;
  std::vector<uint8_t> text(203, 'a'), block(4000, 7);
  EXPECT_TRUE(PackEntry("UPDATE.INI", 0x01D9000012345678ull, text.data(), text.size(), true,
                        &entries[0], &error));
  EXPECT_TRUE(PackEntry("\x83\x5A\x81\x5B\x83\x75.DAT", 2, block.data(), block.size(), false,
                        &entries[1], &error));
  EXPECT_TRUE(PackEntry("EMPTY", 3, nullptr, 0, false, &entries[2], &error));
  return entries;
}

// Points the updater's state at the payload and loads it.
uint8_t* LoadFrom(const std::vector<uint8_t>& payload) {
  ResetUpdaterState();
  State.PayloadImage = payload.data();
  State.PayloadSize = static_cast<uint32_t>(payload.size());
  return LoadArchiveDirectory();
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  std::memcpy(bytes.data() + at, &value, 4);
}

// Committed private memory of the process, summed over its address space
// (wine does not fill in the process memory counters).
SIZE_T PrivateBytes() {
  SIZE_T total = 0;
  const char* address = nullptr;
  MEMORY_BASIC_INFORMATION info;
  while (VirtualQuery(address, &info, sizeof info) == sizeof info) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

}  // namespace

TEST(Platform, AnsiCodePageIs932) { EXPECT_EQ(GetACP(), 932u); }

TEST(LoadArchiveDirectory, CopiesPlainAndCompressedDirectories) {
  const std::vector<PackedEntry> entries = SampleEntries();
  for (bool compressed : {false, true}) {
    std::vector<uint8_t> payload;
    std::string error;
    ASSERT_TRUE(BuildArchiveImage(entries, compressed, &payload, &error)) << error;
    const std::vector<uint8_t> before = payload;
    uint8_t* block = LoadFrom(payload);
    ASSERT_NE(block, nullptr) << compressed;
    EXPECT_GE(GlobalSize(block), 16u + 3 * 280);
    EXPECT_EQ(std::memcmp(block, payload.data(), 16), 0);
    for (size_t i = 0; i < entries.size(); ++i)
      EXPECT_EQ(std::memcmp(block + 16 + i * 280, &entries[i].record, 280), 0) << i;
    EXPECT_EQ(payload, before);  // the payload is only read
    EXPECT_EQ(GlobalFree(block), nullptr);
  }
}

TEST(LoadArchiveDirectory, NoEntriesGiveASixteenByteBlock) {
  for (bool compressed : {false, true}) {
    std::vector<uint8_t> payload;
    std::string error;
    ASSERT_TRUE(BuildArchiveImage({}, compressed, &payload, &error)) << error;
    uint8_t* block = LoadFrom(payload);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 16u);
    EXPECT_EQ(std::memcmp(block, payload.data(), 16), 0);
    GlobalFree(block);
  }
}

TEST(LoadArchiveDirectory, RefusesEachDamagedPayload) {
  const std::vector<PackedEntry> entries = SampleEntries();
  std::vector<uint8_t> plain, compressed;
  std::string error;
  ASSERT_TRUE(BuildArchiveImage(entries, false, &plain, &error));
  ASSERT_TRUE(BuildArchiveImage(entries, true, &compressed, &error));
  uint32_t directoryOffset;
  std::memcpy(&directoryOffset, plain.data() + 8, 4);

  std::vector<std::vector<uint8_t>> damaged;
  damaged.emplace_back(plain.begin(), plain.begin() + 15);            // no whole header
  damaged.push_back(plain);
  Put32(damaged.back(), 8, static_cast<uint32_t>(plain.size()) + 1);  // offset past the end
  damaged.push_back(compressed);
  Put32(damaged.back(), 8, 0xFFFFFFF0u);
  damaged.push_back(plain);
  Put32(damaged.back(), 12, 0x0EA0EA10u);                        // block past 32 bits
  damaged.push_back(compressed);
  Put32(damaged.back(), 12, 0xFFFFFFFFu);
  damaged.push_back(plain);
  damaged.back().pop_back();                                      // plain runs past the end
  damaged.push_back(plain);
  Put32(damaged.back(), 12, 4);
  damaged.push_back(compressed);
  Put32(damaged.back(), 12, 2);                                   // decodes to more
  damaged.push_back(compressed);
  Put32(damaged.back(), 12, 4);                                   // decodes to less
  damaged.push_back(compressed);
  damaged.back().resize(damaged.back().size() - 1);               // stream cut short
  damaged.push_back(plain);
  damaged.back()[4] = 1;                                          // records taken as a stream
  for (size_t i = 0; i < damaged.size(); ++i) {
    uint8_t* block = LoadFrom(damaged[i]);
    EXPECT_EQ(block, nullptr) << "case " << i;
    if (block) GlobalFree(block);
  }
}

TEST(LoadArchiveDirectory, AFailedLoadLeavesNoBlockBehind) {
  // A compressed directory that claims 4 MB of records but decodes to 1 MB:
  // the block is taken, the decoding fails, and the block must go back.
  std::vector<uint8_t> zeros(1 << 20, 0);
  std::vector<uint8_t> stream = CompressBlock(zeros.data(), zeros.size());
  std::vector<uint8_t> payload(16, 0);
  payload.insert(payload.end(), stream.begin(), stream.end());
  payload.resize(payload.size() + 64 * 1024, 0);  // enough input for the size check
  const uint32_t header[4] = {0x00324146u, 1, 16, (4u << 20) / 280};
  std::memcpy(payload.data(), header, 16);

  ASSERT_EQ(LoadFrom(payload), nullptr);
  const SIZE_T before = PrivateBytes();
  for (int i = 0; i < 200; ++i) ASSERT_EQ(LoadFrom(payload), nullptr);
  // 200 leaked blocks would be 800 MB.
  EXPECT_LT(PrivateBytes(), before + (64u << 20));

  // The measurement does see blocks that are kept.
  std::vector<HGLOBAL> kept;
  for (int i = 0; i < 50; ++i) kept.push_back(GlobalAlloc(GMEM_FIXED, 4u << 20));
  const SIZE_T holding = PrivateBytes();
  for (HGLOBAL h : kept) GlobalFree(h);
  EXPECT_GT(holding, before + (150u << 20));
}
