// FA2 archives made in memory for tests of the entry functions, loaded into
// State as the start-up sequence loads the payload: PayloadImage and
// PayloadSize over the archive, Archive opened into the block at Directory.
//
// The payload and the directory each end exactly where an inaccessible page
// begins, so a function that reads one byte past either crashes the test
// instead of reading a neighbour's bytes unnoticed.
#ifndef HARNESS_TEST_ARCHIVE_H
#define HARNESS_TEST_ARCHIVE_H

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "common/updater_state_win32.h"
#include "fa2/archive/encoder.h"
#include "test_archives.h"

// 2020-01-01 00:00:00 UTC as a FILETIME.
constexpr uint64_t kTestEntryTime = 132223104000000000ULL;

// Bytes placed so that their end touches a PAGE_NOACCESS page.
class GuardedBytes {
 public:
  GuardedBytes() = default;
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  ~GuardedBytes() { Release(); }

  uint8_t* Place(const void* bytes, size_t size) {
    Release();
    const size_t page = 4096;
    size_t pages = (size + page - 1) / page;
    region_ = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, (pages + 1) * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(region_ + pages * page, page, PAGE_NOACCESS, &old);
    uint8_t* start = region_ + pages * page - size;
    if (size) std::memcpy(start, bytes, size);
    return start;
  }
  void Release() {
    if (region_) VirtualFree(region_, 0, MEM_RELEASE);
    region_ = nullptr;
  }

 private:
  uint8_t* region_ = nullptr;
};

class TestArchive {
 public:
  // Adds an entry; its record and data are made by Build. Returns its index.
  size_t Add(const std::string& name, const std::string& content, uint64_t time = kTestEntryTime,
             bool compressed = false) {
    pending_.push_back({name, content, time, compressed});
    return pending_.size() - 1;
  }
  size_t AddCompressed(const std::string& name, const std::string& content,
                       uint64_t time = kTestEntryTime) {
    return Add(name, content, time, true);
  }

  // Lays the archive out (test_archives.h): records (editable before Load, to
  // damage them; names of 260 bytes and more are cut without a NUL, as a
  // damaged archive can hold them), the data area with each entry at
  // positions[i], and the plain directory.
  void Build() {
    records.clear();
    positions.clear();
    std::vector<std::string> stored;
    for (const Pending& p : pending_) {
      std::string bytes = p.content;
      if (p.compressed) {
        auto packed = CompressBlock(reinterpret_cast<const uint8_t*>(p.content.data()),
                                    p.content.size());
        bytes.assign(packed.begin(), packed.end());
      }
      records.push_back(TestRecord(p.name, p.compressed ? kEntryCompressed : kEntryStored,
                                   static_cast<uint32_t>(p.content.size()),
                                   static_cast<uint32_t>(bytes.size()), p.time));
      stored.push_back(std::move(bytes));
    }
    const std::vector<uint8_t> image = LayOutTestArchive(
        0, static_cast<uint32_t>(records.size()), stored, RecordBytes(records), &positions);
    payload.assign(image.begin(), image.end());
  }

  // Points State at the archive as the start-up sequence does: the records
  // (as they stand now, damaged or not) are written over the payload's
  // directory, and the payload is opened with the archive reader into a block
  // of its own.
  void Load() {
    if (payload.empty()) Build();
    ArchiveHeader header;
    std::memcpy(&header, payload.data(), sizeof header);
    payload.replace(header.DirectoryOffset, std::string::npos,
                    reinterpret_cast<const char*>(records.data()),
                    records.size() * sizeof(ArchiveEntry));
    const uint8_t* image = payloadBytes_.Place(payload.data(), payload.size());
    uint32_t blockSize = 0;
    ArchiveProblem why;
    ArchiveBlockSize(image, payload.size(), 0, &blockSize, &why);
    // Aligned for the positions: the block's end is page-aligned and its
    // size a multiple of 8.
    uint8_t* block = directoryBytes_.Place(std::string(blockSize, '\0').data(), blockSize);
    State.PayloadImage = image;
    State.PayloadSize = static_cast<uint32_t>(payload.size());
    State.Directory = block;
    OpenArchive(&State.Archive, image, payload.size(), 0, block, blockSize, &why);
    State.DirectoryEntries = State.Archive.Entries;
  }

  // Where entry i's data lies in the loaded payload.
  const uint8_t* DataOf(size_t i) const { return State.PayloadImage + positions[i]; }

  ~TestArchive() {
    if (State.PayloadImage) {
      State.PayloadImage = nullptr;
      State.PayloadSize = 0;
      State.Directory = nullptr;
      State.DirectoryEntries = nullptr;
      State.Archive = ArchiveReader{};
    }
  }

  std::vector<ArchiveEntry> records;
  std::vector<size_t> positions;
  std::string payload;

 private:
  struct Pending {
    std::string name, content;
    uint64_t time;
    bool compressed;
  };
  std::vector<Pending> pending_;
  GuardedBytes payloadBytes_;
  GuardedBytes directoryBytes_;
};

#endif
