#include "archive/archive_reader.h"

#include <cstring>

#include "archive/archive_names.h"
#include "archive/block_format.h"
#include "archive/decompress.h"
#include "archive/patch_format.h"

namespace {

// What the block holds for each entry: its record and its data position.
constexpr uint64_t kBlockBytesPerEntry = kArchiveEntrySize + sizeof(uint64_t);


int Refuse(ArchiveProblem problem, ArchiveProblem* why) {
  *why = problem;
  return 0;
}

bool IsCompressed(const ArchiveEntry& entry) { return (entry.Flags & kEntryCompressed) != 0; }

bool IsPatch(const ArchiveEntry& entry) { return (entry.Flags & kEntryPatch) != 0; }

}  // namespace

int ArchiveBlockSize(const uint8_t* payload, size_t payloadSize, int options,
                     uint32_t* blockSize, ArchiveProblem* why) {
  if (payload == nullptr || payloadSize < kArchiveHeaderSize)
    return Refuse(kArchiveTooShort, why);
  ArchiveHeader header;
  std::memcpy(&header, payload, kArchiveHeaderSize);
  if ((options & kArchiveCheckMagic) && std::memcmp(header.Magic, kArchiveMagic, sizeof kArchiveMagic) != 0)
    return Refuse(kArchiveNotFa2, why);

  const uint64_t size = payloadSize;
  const uint64_t offset = header.DirectoryOffset;
  if (offset > size) return Refuse(kArchiveDirectoryOffset, why);

  const uint64_t block = kArchiveHeaderSize + header.EntryCount * kBlockBytesPerEntry;
  if (block > UINT32_MAX) return Refuse(kArchiveTooManyEntries, why);

  const uint64_t records = uint64_t{header.EntryCount} * kArchiveEntrySize;
  const uint64_t available = size - offset;
  if (header.Flags & kArchiveDirectoryCompressed) {
    // Input at least as long as the output always suffices; the shorter
    // input keeps MaxDecodedSize within its range.
    if (available < records && records > MaxDecodedSize(available))
      return Refuse(kArchiveDirectoryDamaged, why);
  } else if (records > available) {
    return Refuse(kArchiveDirectoryTruncated, why);
  }
  *blockSize = static_cast<uint32_t>(block);
  return 1;
}

int OpenArchive(ArchiveReader* reader, const uint8_t* payload, size_t payloadSize, int options,
                void* block, size_t blockSize, ArchiveProblem* why) {
  *reader = ArchiveReader{};
  reader->Payload = payload;
  reader->PayloadSize = payloadSize;
  if (payload != nullptr && payloadSize >= kArchiveHeaderSize)
    std::memcpy(&reader->Header, payload, kArchiveHeaderSize);

  uint32_t needed;
  if (!ArchiveBlockSize(payload, payloadSize, options, &needed, why)) return 0;
  if (block == nullptr || blockSize < needed) return Refuse(kArchiveBlockTooSmall, why);

  const ArchiveHeader& header = reader->Header;
  const uint32_t count = header.EntryCount;
  const size_t records = size_t{count} * kArchiveEntrySize;
  uint8_t* bytes = static_cast<uint8_t*>(block);
  const uint8_t* directory = payload + header.DirectoryOffset;
  if (header.Flags & kArchiveDirectoryCompressed) {
    // The stream is decoded where it lies in the payload, so no copy of it
    // is needed.
    size_t produced = 0;
    if (!DecompressBlockBounded(bytes + kArchiveHeaderSize, records, directory,
                                payloadSize - header.DirectoryOffset, &produced, nullptr) ||
        produced != records)
      return Refuse(kArchiveDirectoryDamaged, why);
  } else if (records != 0) {
    std::memcpy(bytes + kArchiveHeaderSize, directory, records);
  }
  std::memcpy(bytes, &header, kArchiveHeaderSize);

  // Every entry's data follows the previous one's, aligned to 16; the first
  // lies right after the header. 64 bits: damaged sizes may add up past
  // 4 GiB, and 15 million entries of 4 GiB each still fit.
  const auto* entries = reinterpret_cast<const ArchiveEntry*>(bytes + kArchiveHeaderSize);
  auto* positions = reinterpret_cast<uint64_t*>(bytes + kArchiveHeaderSize + records);
  uint64_t position = kArchiveHeaderSize;
  for (uint32_t i = 0; i < count; ++i) {
    positions[i] = position;
    position += AlignedStoredSize(entries[i].StoredSize);
  }
  reader->EntryCount = count;
  reader->Entries = entries;
  reader->Positions = positions;
  *why = kArchiveOk;
  return 1;
}

int FindArchiveEntry(const ArchiveReader* reader, const char* name, uint32_t* index) {
  const size_t length = std::strlen(name);
  for (uint32_t i = 0; i < reader->EntryCount; ++i) {
    const ArchiveEntry& entry = reader->Entries[i];
    if (!IsPatch(entry) && ArchiveNamesEqual(entry.Name, ArchiveEntryNameLength(entry), name, length)) {
      *index = i;
      return 1;
    }
  }
  return 0;
}

int CheckArchiveEntry(const ArchiveReader* reader, uint32_t index, ArchiveProblem* why) {
  const ArchiveEntry& entry = reader->Entries[index];
  const uint64_t position = reader->Positions[index];
  if (position > reader->PayloadSize || entry.StoredSize > reader->PayloadSize - position)
    return Refuse(kArchiveEntryOutside, why);
  // A patch entry is no file's content: patch_records.h reads it.
  if (IsPatch(entry)) return Refuse(kArchiveEntryIsPatch, why);
  if (!IsCompressed(entry) && entry.StoredSize != entry.UnpackedSize)
    return Refuse(kArchiveEntrySizes, why);
  if (IsCompressed(entry) && entry.UnpackedSize > MaxDecodedSize(entry.StoredSize))
    return Refuse(kArchiveEntryTooLarge, why);
  *why = kArchiveOk;
  return 1;
}

const uint8_t* ArchiveEntryData(const ArchiveReader* reader, uint32_t index) {
  return reader->Payload + reader->Positions[index];
}

int IsArchiveEntryCompressed(const ArchiveReader* reader, uint32_t index) {
  return IsCompressed(reader->Entries[index]);
}

int ReadArchiveEntry(const ArchiveReader* reader, uint32_t index, uint8_t* out, size_t capacity,
                     ArchiveProblem* why) {
  if (!CheckArchiveEntry(reader, index, why)) return 0;
  const ArchiveEntry& entry = reader->Entries[index];
  if (capacity < entry.UnpackedSize) return Refuse(kArchiveBlockTooSmall, why);
  const uint8_t* data = ArchiveEntryData(reader, index);
  if (!IsCompressed(entry)) {
    if (entry.StoredSize != 0) std::memcpy(out, data, entry.StoredSize);
    return 1;
  }
  // The decoder is held to the entry's stored bytes and to UnpackedSize, and
  // the stream must fill exactly that.
  size_t produced = 0;
  if (!DecompressBlockBounded(out, entry.UnpackedSize, data, entry.StoredSize, &produced,
                              nullptr) ||
      produced != entry.UnpackedSize)
    return Refuse(kArchiveEntryDamaged, why);
  return 1;
}

int OpenArchiveEntryStream(const ArchiveReader* reader, uint32_t index, ArchiveEntryStream* stream,
                           ArchiveProblem* why) {
  *stream = ArchiveEntryStream{};
  if (!CheckArchiveEntry(reader, index, why)) return 0;
  const ArchiveEntry& entry = reader->Entries[index];
  const uint8_t* data = ArchiveEntryData(reader, index);
  stream->Left = entry.UnpackedSize;
  stream->Compressed = IsCompressed(entry);
  if (!stream->Compressed) {
    stream->Plain = data;
  } else if (!StartBlockDecoder(&stream->Decoder, data, entry.StoredSize)) {
    return Refuse(kArchiveEntryDamaged, why);
  }
  return 1;
}

int ReadArchiveEntryPart(ArchiveEntryStream* stream, uint8_t* buffer, size_t bufferSize,
                         const uint8_t** part, size_t* partSize, ArchiveProblem* why) {
  *partSize = 0;
  *why = kArchiveOk;
  if (bufferSize < kArchiveEntryPartMinBuffer) return Refuse(kArchiveBlockTooSmall, why);
  const size_t room = bufferSize - kBlockWindow - kBlockPartSlack;
  if (!stream->Compressed) {
    const size_t size = stream->Left < room ? static_cast<size_t>(stream->Left) : room;
    *part = stream->Plain;
    *partSize = size;
    stream->Plain += size;
    stream->Left -= size;
    return 1;
  }
  if (stream->Ended) return stream->Left == 0 ? 1 : Refuse(kArchiveEntryDamaged, why);

  // The window: the last output bytes move to the front of the buffer.
  const size_t kept = stream->Filled < kBlockWindow ? stream->Filled : kBlockWindow;
  if (kept != 0 && stream->Filled != kept)
    std::memmove(buffer, buffer + stream->Filled - kept, kept);
  size_t end = 0;
  const int result =
      DecodeBlockPart(&stream->Decoder, buffer, kept, kept + room, bufferSize, &end);
  const size_t produced = end - kept;
  if (result == 0 || produced > stream->Left) return Refuse(kArchiveEntryDamaged, why);
  stream->Left -= produced;
  stream->Filled = end;
  stream->Ended = result == kBlockEnded;
  if (stream->Ended && stream->Left != 0) return Refuse(kArchiveEntryDamaged, why);
  *part = buffer + kept;
  *partSize = produced;
  return 1;
}
