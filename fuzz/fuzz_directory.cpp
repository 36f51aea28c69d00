// The archive reader on arbitrary payloads: the checks and the directory
// decoded into a block exactly as large as the checks say, every entry checked
// and read, the updater's lookup of each entry's name, then fa2's full
// verification. The payload is a private copy of exactly its length, so any
// read past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_names.h"
#include "archive/archive_reader.h"
#include "archive/patch_records.h"
#include "fa2/archive/archive_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> payload(data, data + size);
  const uint8_t* image = payload.empty() ? nullptr : payload.data();

  uint32_t blockSize = 0;
  ArchiveProblem why;
  std::vector<uint64_t> block;
  ArchiveReader reader;
  int opened = 0;
  if (ArchiveBlockSize(image, size, 0, &blockSize, &why)) {
    block.resize((blockSize + 7) / 8);
    opened = OpenArchive(&reader, image, size, 0, block.data(), blockSize, &why);
  }
  if (opened) {
    const ArchiveHeader& header = reader.Header;
    if (std::memcmp(block.data(), image, kArchiveHeaderSize) != 0) abort();
    const size_t records = size_t{header.EntryCount} * kArchiveEntrySize;
    if (!(header.Flags & kArchiveDirectoryCompressed) && records != 0 &&
        std::memcmp(reader.Entries, image + header.DirectoryOffset, records) != 0)
      abort();
    std::vector<uint8_t> content;
    for (uint32_t i = 0; i < reader.EntryCount; ++i) {
      const uint64_t next = i + 1 < reader.EntryCount ? reader.Positions[i + 1] : UINT64_MAX;
      if (next - reader.Positions[i] < reader.Entries[i].StoredSize) abort();
      if (CheckArchiveEntry(&reader, i, &why)) {
        content.resize(reader.Entries[i].UnpackedSize);
        ReadArchiveEntry(&reader, i, content.data(), content.size(), &why);
      }
      // Every name finds its first holder that is not a patch, never a later
      // one, and never a patch.
      const std::string name(reader.Entries[i].Name, ArchiveEntryNameLength(reader.Entries[i]));
      uint32_t found;
      const int any = FindArchiveEntry(&reader, name.c_str(), &found);
      if (any && IsArchivePatch(&reader, found)) abort();
      if (!IsArchivePatch(&reader, i) && (!any || found > i)) abort();
    }
  }

  // fa2's layer agrees with the reader and checks every entry inside it.
  OpenedArchive archive;
  std::string error;
  const int tool = OpenArchiveImage(payload, &archive, &error);
  const bool magic = size >= 4 && std::memcmp(image, "FA2", 4) == 0;
  if (tool != (opened && magic)) abort();
  std::vector<std::string> problems, notes;
  const int clean = VerifyArchive(payload, &problems, &notes);
  if (clean != problems.empty() || (clean && !tool)) abort();
  return 0;
}
