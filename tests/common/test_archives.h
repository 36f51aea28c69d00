// The tests' one way of making FA2 archives, for the native, windows and
// end-to-end tests alike: packed by fa2's own writer, as a publisher packs
// them, or laid out record by record for archives that no writer makes
// (damaged headers, records and directories).
#ifndef TESTS_COMMON_TEST_ARCHIVES_H
#define TESTS_COMMON_TEST_ARCHIVES_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "fa2/archive/archive_writer.h"
#include "fa2/patch/patch_maker.h"

// A file of a test archive.
struct TestFile {
  std::string name;     // entry name, CP932
  std::string content;  // bytes
  uint64_t fileTime = 0x01D9000000000000ull;  // a FILETIME in 2023
  bool store = false;   // store plain instead of compressing when that pays
  // Patch entries after all full entries, one from each of these earlier
  // contents of the file; full = false leaves out the full entry.
  std::vector<std::string> patchFrom = {};
  bool full = true;
};

// The archive of the files, in this order, packed by fa2's writer, their
// patches after them (made fast: applying them is what tests look at).
// Returns an empty image, with the reason in *error, when packing fails.
inline std::vector<uint8_t> PackTestArchive(const std::vector<TestFile>& files,
                                            std::string* error, bool compressDirectory = true) {
  std::vector<PackedEntry> entries;
  for (const TestFile& file : files) {
    PackedEntry entry;
    if (!file.full) continue;
    if (!PackEntry(file.name, file.fileTime, reinterpret_cast<const uint8_t*>(file.content.data()),
                   file.content.size(), file.store, &entry, error)) {
      *error = file.name + ": " + *error;
      return {};
    }
    entries.push_back(std::move(entry));
  }
  for (const TestFile& file : files) {
    for (const std::string& base : file.patchFrom) {
      PackedEntry entry;
      if (!PackPatchEntry(file.name, file.fileTime, reinterpret_cast<const uint8_t*>(base.data()),
                          base.size(), reinterpret_cast<const uint8_t*>(file.content.data()),
                          file.content.size(), 3, &entry, error)) {
        *error = file.name + " (patch): " + *error;
        return {};
      }
      entries.push_back(std::move(entry));
    }
  }
  std::vector<uint8_t> image;
  if (!BuildArchiveImage(entries, compressDirectory, &image, error)) return {};
  return image;
}

// A record with the given name (cut at 260 bytes, without a NUL then, as a
// damaged archive can hold it), flags and sizes.
inline ArchiveEntry TestRecord(const std::string& name, uint32_t flags, uint32_t unpacked,
                               uint32_t stored, uint64_t fileTime = 0) {
  ArchiveEntry e;
  std::memset(&e, 0, sizeof e);
  std::memcpy(e.Name, name.data(), std::min<size_t>(name.size(), kArchiveNameSize));
  e.Flags = flags;
  e.FileTimeLow = static_cast<uint32_t>(fileTime);
  e.FileTimeHigh = static_cast<uint32_t>(fileTime >> 32);
  e.UnpackedSize = unpacked;
  e.StoredSize = stored;
  return e;
}

inline std::vector<uint8_t> RecordBytes(const std::vector<ArchiveEntry>& records) {
  const uint8_t* b = reinterpret_cast<const uint8_t*>(records.data());
  return std::vector<uint8_t>(b, b + records.size() * sizeof(ArchiveEntry));
}

// Writes an archive header at out.
inline void PutTestHeader(uint8_t* out, uint32_t flags, uint64_t directoryOffset,
                          uint32_t entryCount) {
  ArchiveHeader h = {{}, flags, static_cast<uint32_t>(directoryOffset), entryCount};
  std::memcpy(h.Magic, kArchiveMagic, sizeof h.Magic);
  std::memcpy(out, &h, sizeof h);
}

// An archive laid out by hand: the header (flags, entryCount), each stored
// block in order at a 16-byte boundary, then the directory bytes as given.
// *positions, when given, gets where each block lies.
inline std::vector<uint8_t> LayOutTestArchive(uint32_t flags, uint32_t entryCount,
                                              const std::vector<std::string>& stored,
                                              const std::vector<uint8_t>& directory,
                                              std::vector<size_t>* positions = nullptr) {
  std::vector<uint8_t> p(kArchiveHeaderSize, 0);
  for (const std::string& block : stored) {
    if (positions) positions->push_back(p.size());
    p.insert(p.end(), block.begin(), block.end());
    p.resize(kArchiveHeaderSize + (p.size() - kArchiveHeaderSize + 15) / 16 * 16, 0);
  }
  PutTestHeader(p.data(), flags, p.size(), entryCount);
  p.insert(p.end(), directory.begin(), directory.end());
  return p;
}

// A payload: the header, dataSize zero bytes of entry data, then the
// directory bytes as given.
inline std::vector<uint8_t> TestPayload(uint32_t flags, uint32_t entryCount, size_t dataSize,
                                        const std::vector<uint8_t>& directory) {
  std::vector<uint8_t> p(kArchiveHeaderSize + dataSize + directory.size(), 0);
  PutTestHeader(p.data(), flags, kArchiveHeaderSize + dataSize, entryCount);
  if (!directory.empty())
    std::memcpy(p.data() + kArchiveHeaderSize + dataSize, directory.data(), directory.size());
  return p;
}

#endif
