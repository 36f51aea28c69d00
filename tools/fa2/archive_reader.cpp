#include "fa2/archive_reader.h"

#include <cstring>
#include <string>
#include <unordered_map>

#include "archive/archive_directory.h"
#include "archive/decompress.h"
#include "fa2/names.h"

namespace {

constexpr char kMagic[4] = {'F', 'A', '2', '\0'};

std::string Number(uint64_t value) { return std::to_string(value); }

// Why the directory of this header does not fit the payload, repeating the
// checks of CheckArchiveDirectory to name the one that failed.
std::string DirectoryProblem(const ArchiveHeader& header, uint64_t payloadSize) {
  const uint64_t records = uint64_t{header.EntryCount} * kArchiveEntrySize;
  if (header.DirectoryOffset > payloadSize)
    return "directory offset " + Number(header.DirectoryOffset) +
           " lies beyond the end of the archive (" + Number(payloadSize) + " bytes)";
  if (kArchiveHeaderSize + records > UINT32_MAX)
    return "entry count " + Number(header.EntryCount) + " is too large for a directory";
  if (header.Flags & kArchiveDirectoryCompressed)
    return "compressed directory at " + Number(header.DirectoryOffset) +
           " does not decode to " + Number(header.EntryCount) + " entries (" + Number(records) +
           " bytes) within the archive";
  return "directory of " + Number(header.EntryCount) + " entries (" + Number(records) +
         " bytes) at " + Number(header.DirectoryOffset) + " runs past the end of the archive (" +
         Number(payloadSize) + " bytes)";
}

std::string EntryLabel(const ArchiveContents& archive, size_t index) {
  return "entry " + Number(index) + " \"" + DisplayArchiveName(EntryName(archive.entries[index])) +
         "\"";
}

}  // namespace

std::string EntryName(const ArchiveEntry& entry) {
  const void* end = std::memchr(entry.Name, 0, kArchiveNameSize);
  const size_t length =
      end ? static_cast<size_t>(static_cast<const char*>(end) - entry.Name) : kArchiveNameSize;
  return std::string(entry.Name, length);
}

int OpenArchive(const std::vector<uint8_t>& payload, ArchiveContents* archive,
                std::string* error) {
  ArchiveHeader header;
  if (!ReadArchiveHeader(payload.data(), payload.size(), &header)) {
    *error = "file of " + Number(payload.size()) +
             " bytes is too short for an archive header (16 bytes)";
    return 0;
  }
  if (std::memcmp(header.Magic, kMagic, sizeof kMagic) != 0) {
    *error = "not an FA2 archive (no FA2 magic at its start)";
    return 0;
  }
  uint32_t blockSize;
  std::vector<uint8_t> block;
  if (CheckArchiveDirectory(payload.data(), payload.size(), &header, &blockSize)) {
    block.resize(blockSize);
    if (DecodeArchiveDirectory(payload.data(), payload.size(), block.data(), block.size())) {
      archive->header = header;
      archive->entries.resize(header.EntryCount);
      if (header.EntryCount != 0)
        std::memcpy(archive->entries.data(), block.data() + kArchiveHeaderSize,
                    block.size() - kArchiveHeaderSize);
      archive->positions.resize(header.EntryCount);
      uint64_t position = kFirstEntryDataPosition;
      for (size_t i = 0; i < archive->entries.size(); ++i) {
        archive->positions[i] = position;
        position = NextEntryDataPosition(position, archive->entries[i]);
      }
      return 1;
    }
  }
  *error = DirectoryProblem(header, payload.size());
  return 0;
}

int ReadEntryContent(const std::vector<uint8_t>& payload, const ArchiveContents& archive,
                     size_t index, std::vector<uint8_t>* content, std::string* error) {
  const ArchiveEntry& entry = archive.entries[index];
  const uint64_t position = archive.positions[index];
  if (!EntryDataInPayload(position, entry, payload.size())) {
    *error = EntryLabel(archive, index) + ": data of " + Number(entry.StoredSize) + " bytes at " +
             Number(position) + " runs past the end of the archive (" + Number(payload.size()) +
             " bytes)";
    return 0;
  }
  const uint8_t* data = payload.data() + position;
  if (!(entry.Flags & kEntryCompressed)) {
    if (entry.StoredSize != entry.UnpackedSize) {
      *error = EntryLabel(archive, index) + ": stored entry has " + Number(entry.StoredSize) +
               " bytes but should have " + Number(entry.UnpackedSize);
      return 0;
    }
    content->assign(data, data + entry.StoredSize);
    return 1;
  }
  if (entry.UnpackedSize > MaxDecodedSize(entry.StoredSize)) {
    *error = EntryLabel(archive, index) + ": " + Number(entry.StoredSize) +
             " stored bytes cannot decode to " + Number(entry.UnpackedSize) + " bytes";
    return 0;
  }
  content->resize(entry.UnpackedSize);
  size_t produced = 0;
  if (!DecompressBlockBounded(content->data(), content->size(), data, entry.StoredSize, &produced,
                              nullptr) ||
      produced != entry.UnpackedSize) {
    *error = EntryLabel(archive, index) + ": compressed data does not decode to " +
             Number(entry.UnpackedSize) + " bytes within its " + Number(entry.StoredSize) +
             " stored bytes";
    return 0;
  }
  return 1;
}

int VerifyArchive(const std::vector<uint8_t>& payload, std::vector<std::string>* problems,
                  std::vector<std::string>* notes) {
  ArchiveContents archive;
  std::string error;
  if (!OpenArchive(payload, &archive, &error)) {
    problems->push_back(error);
    return 0;
  }
  const size_t before = problems->size();
  const ArchiveHeader& header = archive.header;
  if (header.Flags & ~kArchiveDirectoryCompressed)
    problems->push_back("header flags " + Number(header.Flags) + " set undefined bits");
  if (header.DirectoryOffset < kArchiveHeaderSize)
    problems->push_back("directory offset " + Number(header.DirectoryOffset) +
                        " lies inside the header");

  std::vector<uint8_t> content;
  std::unordered_map<std::string, size_t> firstOfName;
  for (size_t i = 0; i < archive.entries.size(); ++i) {
    const ArchiveEntry& entry = archive.entries[i];
    const std::string name = EntryName(entry);
    if (name.size() == kArchiveNameSize) {
      problems->push_back("entry " + Number(i) + ": name has no terminating NUL");
    } else if (!IsSafeArchiveName(name)) {
      problems->push_back(EntryLabel(archive, i) +
                          ": name is empty or has a folder separator or control character");
    }
    const uint64_t end = archive.positions[i] + entry.StoredSize;
    if (EntryDataInPayload(archive.positions[i], entry, payload.size()) &&
        end > header.DirectoryOffset) {
      problems->push_back(EntryLabel(archive, i) + ": data at " + Number(archive.positions[i]) +
                          ".." + Number(end) + " runs into the directory at " +
                          Number(header.DirectoryOffset));
    }
    if (!ReadEntryContent(payload, archive, i, &content, &error)) problems->push_back(error);
    const auto first = firstOfName.emplace(FoldArchiveName(name), i);
    if (!first.second)
      notes->push_back(EntryLabel(archive, i) + " is hidden by entry " +
                       Number(first.first->second) + " of the same name");
  }
  return problems->size() == before;
}
