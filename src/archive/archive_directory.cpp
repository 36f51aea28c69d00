#include "archive/archive_directory.h"

#include <cstring>

#include "archive/decompress.h"

int ReadArchiveHeader(const uint8_t* payload, size_t payloadSize, ArchiveHeader* header) {
  if (payload == nullptr || payloadSize < kArchiveHeaderSize) return 0;
  std::memcpy(header, payload, kArchiveHeaderSize);
  return 1;
}

int CheckArchiveDirectory(const uint8_t* payload, size_t payloadSize, ArchiveHeader* header,
                          uint32_t* blockSize) {
  if (!ReadArchiveHeader(payload, payloadSize, header)) return 0;
  const uint64_t size = payloadSize;
  const uint64_t offset = header->DirectoryOffset;
  if (offset > size) return 0;

  const uint64_t records = uint64_t{header->EntryCount} * kArchiveEntrySize;
  const uint64_t block = kArchiveHeaderSize + records;
  if (block > UINT32_MAX) return 0;

  const uint64_t available = size - offset;
  if (header->Flags & kArchiveDirectoryCompressed) {
    // Input at least as long as the output always suffices; the shorter
    // input keeps MaxDecodedSize within its range.
    if (available < records && records > MaxDecodedSize(available)) return 0;
  } else if (records > available) {
    return 0;
  }
  *blockSize = static_cast<uint32_t>(block);
  return 1;
}

int DecodeArchiveDirectory(const uint8_t* payload, size_t payloadSize, uint8_t* block,
                           size_t blockSize) {
  ArchiveHeader header;
  uint32_t expected;
  if (!CheckArchiveDirectory(payload, payloadSize, &header, &expected)) return 0;
  if (block == nullptr || blockSize != expected) return 0;

  const size_t records = blockSize - kArchiveHeaderSize;
  const uint8_t* directory = payload + header.DirectoryOffset;
  if (header.Flags & kArchiveDirectoryCompressed) {
    size_t produced = 0;
    if (!DecompressBlockBounded(block + kArchiveHeaderSize, records, directory,
                                payloadSize - header.DirectoryOffset, &produced, nullptr))
      return 0;
    if (produced != records) return 0;
  } else if (records != 0) {
    std::memcpy(block + kArchiveHeaderSize, directory, records);
  }
  std::memcpy(block, &header, kArchiveHeaderSize);
  return 1;
}

uint64_t ArchiveEntryDataPosition(const ArchiveEntry* entries, uint32_t index) {
  uint64_t position = kFirstEntryDataPosition;
  for (uint32_t i = 0; i < index; ++i) position = NextEntryDataPosition(position, entries[i]);
  return position;
}
