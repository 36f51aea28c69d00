// The directory load on arbitrary payloads: the checks and the decoding into
// a block exactly as large as the checks say, then the data-area walk and
// fa2's full verification over whatever loaded. The payload is a private
// copy of exactly its length, so any read past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_directory.h"
#include "fa2/archive_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> payload(data, data + size);
  const uint8_t* image = payload.empty() ? nullptr : payload.data();

  ArchiveHeader header;
  uint32_t blockSize = 0;
  const int fits = CheckArchiveDirectory(image, size, &header, &blockSize);
  std::vector<uint8_t> block;
  int loaded = 0;
  if (fits) {
    // The check bounds the block by what the payload can carry.
    if (blockSize - kArchiveHeaderSize > MaxDecodedSize(size)) abort();
    block.resize(blockSize);
    loaded = DecodeArchiveDirectory(image, size, block.data(), block.size());
  }
  if (loaded) {
    if (std::memcmp(block.data(), image, kArchiveHeaderSize) != 0) abort();
    const size_t records = blockSize - kArchiveHeaderSize;
    if (!(header.Flags & kArchiveDirectoryCompressed) && records != 0 &&
        std::memcmp(block.data() + kArchiveHeaderSize, image + header.DirectoryOffset, records) != 0)
      abort();
    std::vector<ArchiveEntry> entries(header.EntryCount);
    if (records != 0) std::memcpy(entries.data(), block.data() + kArchiveHeaderSize, records);
    uint64_t position = kFirstEntryDataPosition;
    for (uint32_t i = 0; i < header.EntryCount; ++i) {
      const uint64_t next = NextEntryDataPosition(position, entries[i]);
      if (next < position || next - position < entries[i].StoredSize) abort();
      position = next;
    }
    if (position != ArchiveEntryDataPosition(entries.data(), header.EntryCount)) abort();
  }

  // The tool's reader agrees with the load and checks every entry inside it.
  ArchiveContents archive;
  std::string error;
  const int opened = OpenArchive(payload, &archive, &error);
  const bool magic = size >= 4 && std::memcmp(image, "FA2", 4) == 0;
  if (opened != (loaded && magic)) abort();
  std::vector<std::string> problems, notes;
  const int clean = VerifyArchive(payload, &problems, &notes);
  if (clean != problems.empty() || (clean && !opened)) abort();
  return 0;
}
