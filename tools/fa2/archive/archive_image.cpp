#include "fa2/archive/archive_image.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <unordered_map>

#include "archive/archive_names.h"
#include "archive/patch_records.h"
#include "fa2/host/host_files.h"
#include "fa2/host/names.h"
#include "fa2/patch/patch_checks.h"
#include "fa2/patch/patch_text.h"

namespace {

std::string Number(uint64_t value) { return std::to_string(value); }

std::string EntryLabel(const ArchiveReader& reader, uint32_t index) {
  return "entry " + Number(index) + " \"" + DisplayArchiveName(EntryName(reader.Entries[index])) +
         "\"";
}

// Decodes every entry and sets (*faults)[i] to the fault of entry i, empty
// when it decodes. Threads take the next entry in turn; each decodes into
// one buffer that it reuses and that is never filled beforehand, so that an
// entry costs neither an allocation nor fresh pages.
void DecodeEveryEntry(const ArchiveReader& reader, std::vector<std::string>* faults) {
  const uint32_t count = reader.EntryCount;
  faults->assign(count, std::string());
  // Every buffer is made as large as the largest entry at once: its pages
  // are taken only as they are written, and a thread never moves to a fresh
  // buffer (and fresh pages) halfway.
  size_t largest = 0;
  for (uint32_t i = 0; i < count; ++i) {
    ArchiveProblem why;
    if (CheckArchiveEntry(&reader, i, &why))
      largest = std::max<size_t>(largest, reader.Entries[i].UnpackedSize);
  }
  std::atomic<uint32_t> next{0};
  auto work = [&] {
    HostBuffer buffer;
    for (uint32_t i; (i = next.fetch_add(1)) < count;) {
      ArchiveProblem why;
      if (IsArchivePatch(&reader, i)) {
        (*faults)[i] = CheckPatchEntry(reader, i);
        continue;
      }
      if (!CheckArchiveEntry(&reader, i, &why)) {
        (*faults)[i] = DescribeArchiveProblem(reader, i, why);
        continue;
      }
      const size_t size = reader.Entries[i].UnpackedSize;
      if (size > buffer.size && !AllocateHostBuffer(largest, &buffer)) {
        (*faults)[i] = EntryLabel(reader, i) + ": not enough memory to decode its " +
                       Number(size) + " bytes";
        continue;
      }
      if (!ReadArchiveEntry(&reader, i, buffer.data, buffer.size, &why))
        (*faults)[i] = DescribeArchiveProblem(reader, i, why);
    }
  };
  const uint32_t threads = std::max<uint32_t>(
      1, std::min<uint32_t>(std::thread::hardware_concurrency(), count));
  std::vector<std::thread> helpers;
  for (uint32_t t = 1; t < threads; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
}

}  // namespace

std::string EntryName(const ArchiveEntry& entry) {
  return std::string(entry.Name, ArchiveEntryNameLength(entry));
}

std::string DescribeArchiveProblem(const ArchiveReader& reader, uint32_t index,
                                   ArchiveProblem why) {
  const ArchiveHeader& header = reader.Header;
  const uint64_t size = reader.PayloadSize;
  const uint64_t records = uint64_t{header.EntryCount} * kArchiveEntrySize;
  switch (why) {
    case kArchiveOk:
      return "no fault";
    case kArchiveTooShort:
      return "file of " + Number(size) + " bytes is too short for an archive header (16 bytes)";
    case kArchiveNotFa2:
      return "not an FA2 archive (no FA2 magic at its start)";
    case kArchiveDirectoryOffset:
      return "directory offset " + Number(header.DirectoryOffset) +
             " lies beyond the end of the archive (" + Number(size) + " bytes)";
    case kArchiveTooManyEntries:
      return "entry count " + Number(header.EntryCount) + " is too large for a directory";
    case kArchiveDirectoryTruncated:
      return "directory of " + Number(header.EntryCount) + " entries (" + Number(records) +
             " bytes) at " + Number(header.DirectoryOffset) +
             " runs past the end of the archive (" + Number(size) + " bytes)";
    case kArchiveDirectoryDamaged:
      return "compressed directory at " + Number(header.DirectoryOffset) +
             " does not decode to " + Number(header.EntryCount) + " entries (" +
             Number(records) + " bytes) within the archive";
    case kArchiveBlockTooSmall:
      return "the reader's block is too small (a fault of fa2)";
    case kArchiveEntryMissing:
      return "no such entry";
    default:
      break;
  }
  const ArchiveEntry& entry = reader.Entries[index];
  const std::string label = EntryLabel(reader, index);
  const std::string stored = Number(entry.StoredSize), unpacked = Number(entry.UnpackedSize);
  switch (why) {
    case kArchiveEntryOutside:
      return label + ": data of " + stored + " bytes at " + Number(reader.Positions[index]) +
             " runs past the end of the archive (" + Number(size) + " bytes)";
    case kArchiveEntrySizes:
      return label + ": stored entry has " + stored + " bytes but should have " + unpacked;
    case kArchiveEntryTooLarge:
      return label + ": " + stored + " stored bytes cannot decode to " + unpacked + " bytes";
    case kArchiveEntryIsPatch:
      return label + ": is a patch, not the file";
    case kArchivePatchRecord:
    case kArchivePatchFrame:
    case kArchivePatchDamaged:
    case kArchivePatchMismatch:
      return label + ": " + DescribePatchProblem(why);
    default:
      return label + ": compressed data does not decode to " + unpacked + " bytes within its " +
             stored + " stored bytes";
  }
}

int OpenArchiveImage(const uint8_t* payload, size_t size, OpenedArchive* archive,
                     std::string* error) {
  // When the header is refused the size stays 0, and OpenArchive refuses it
  // for the same reason, with the header at hand for the message.
  uint32_t blockSize = 0;
  ArchiveProblem why;
  if (ArchiveBlockSize(payload, size, kArchiveCheckMagic, &blockSize, &why))
    archive->block.assign((blockSize + 7) / 8, 0);
  if (!OpenArchive(&archive->reader, payload, size, kArchiveCheckMagic,
                   archive->block.data(), blockSize, &why)) {
    *error = DescribeArchiveProblem(archive->reader, 0, why);
    return 0;
  }
  return 1;
}

int ReadEntryContent(const ArchiveReader& reader, uint32_t index, std::vector<uint8_t>* content,
                     std::string* error) {
  ArchiveProblem why;
  // Checked before the content is sized, so that a hostile UnpackedSize never
  // makes fa2 take 4 GiB.
  if (CheckArchiveEntry(&reader, index, &why)) {
    content->resize(reader.Entries[index].UnpackedSize);
    if (ReadArchiveEntry(&reader, index, content->data(), content->size(), &why)) return 1;
  }
  *error = DescribeArchiveProblem(reader, index, why);
  return 0;
}

int VerifyArchive(const uint8_t* payload, size_t size, std::vector<std::string>* problems,
                  std::vector<std::string>* notes) {
  OpenedArchive archive;
  std::string error;
  if (!OpenArchiveImage(payload, size, &archive, &error)) {
    problems->push_back(error);
    return 0;
  }
  const ArchiveReader& reader = archive.reader;
  const size_t before = problems->size();
  const ArchiveHeader& header = reader.Header;
  if (header.Flags & ~kArchiveDirectoryCompressed)
    problems->push_back("header flags " + Number(header.Flags) + " set undefined bits");
  if (header.DirectoryOffset < kArchiveHeaderSize)
    problems->push_back("directory offset " + Number(header.DirectoryOffset) +
                        " lies inside the header");

  std::vector<std::string> decodeFaults;
  DecodeEveryEntry(reader, &decodeFaults);
  std::unordered_map<std::string, uint32_t> firstOfName;
  for (uint32_t i = 0; i < reader.EntryCount; ++i) {
    const ArchiveEntry& entry = reader.Entries[i];
    const std::string name = EntryName(entry);
    if (name.size() == kArchiveNameSize) {
      problems->push_back("entry " + Number(i) + ": name has no terminating NUL");
    } else if (!IsSafeArchiveName(name)) {
      problems->push_back(EntryLabel(reader, i) +
                          ": name is empty or has a folder separator or control character");
    }
    ArchiveProblem why;
    const bool inside = CheckArchiveEntry(&reader, i, &why) || why != kArchiveEntryOutside;
    const uint64_t position = reader.Positions[i], end = position + entry.StoredSize;
    if (inside && end > header.DirectoryOffset) {
      problems->push_back(EntryLabel(reader, i) + ": data at " + Number(position) + ".." +
                          Number(end) + " runs into the directory at " +
                          Number(header.DirectoryOffset));
    }
    if (!decodeFaults[i].empty()) problems->push_back(decodeFaults[i]);
    if (IsArchivePatch(&reader, i)) continue;  // a patch sits beside its file's entry
    const auto first = firstOfName.emplace(FoldArchiveName(name), i);
    if (!first.second)
      notes->push_back(EntryLabel(reader, i) + " is hidden by entry " +
                       Number(first.first->second) + " of the same name");
  }
  return problems->size() == before;
}
