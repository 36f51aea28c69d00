// Reading an FA2 archive's directory out of its payload.
//
// The format has no checks of its own: no checksum, no length of the
// compressed directory, nothing that ties EntryCount to the payload. These
// functions add the checks that keep a reader inside the payload and inside
// the directory block, so that a damaged or hostile archive ends in a clean
// failure instead of a read or write out of bounds:
//
//   - the payload must hold the 16-byte header;
//   - DirectoryOffset must not lie beyond the end of the payload;
//   - the block of 16 + EntryCount * 280 bytes must fit in 32 bits;
//   - a plain directory (EntryCount records) must end within the payload;
//   - a compressed directory must decode, from the bytes between
//     DirectoryOffset and the end of the payload, to exactly
//     EntryCount * 280 bytes. Bytes after its end marker are ignored.
//
// The magic is not compared here: the updater takes its own payload as it is.
// Nothing here writes to the payload. All positions are computed in 64 bits,
// so that sizes near 4 GiB cannot wrap.
#ifndef ARCHIVE_ARCHIVE_DIRECTORY_H
#define ARCHIVE_ARCHIVE_DIRECTORY_H

#include <cstddef>
#include <cstdint>

#include "archive/archive_format.h"

// Position of the first entry's data: right after the header.
constexpr uint64_t kFirstEntryDataPosition = kArchiveHeaderSize;

// A compressed stream cannot expand by more than this many output bytes per
// 25 input bits: the densest code is a match of 282 bytes, which takes 25
// bits (2 code bits, 10 for the shortest distance code, 13 for the longest
// length code). A directory that needs more output than its input can carry
// is refused before any block is allocated for it.
constexpr uint64_t kDensestCodeBits = 25;
constexpr uint64_t kDensestCodeBytes = 282;

// The most bytes that a stream of streamLength bytes (below 2^50) can decode
// to. Lets a reader refuse a recorded size that no stream of that length can
// reach before it allocates room for it.
constexpr uint64_t MaxDecodedSize(uint64_t streamLength) {
  return streamLength * 8 * kDensestCodeBytes / kDensestCodeBits;
}

// Copies the header out of the payload. Returns 0 when the payload is shorter
// than a header.
int ReadArchiveHeader(const uint8_t* payload, size_t payloadSize, ArchiveHeader* header);

// Checks a payload's header against the payload, without decoding anything:
// every check above except the decoding itself. On 1, *header holds the
// header and *blockSize the size of the directory block,
// 16 + EntryCount * 280 bytes.
int CheckArchiveDirectory(const uint8_t* payload, size_t payloadSize, ArchiveHeader* header,
                          uint32_t* blockSize);

// Fills block, blockSize bytes long, with the directory block: a copy of the
// header followed by the EntryCount records, plain. blockSize must be the size
// that CheckArchiveDirectory gives for this payload. Returns 1 on success; on
// 0 (a damaged payload or a wrong blockSize) the block holds unspecified bytes.
// The compressed directory is decoded straight from the payload.
int DecodeArchiveDirectory(const uint8_t* payload, size_t payloadSize, uint8_t* block,
                           size_t blockSize);

// The walk over the data area: entry 0's data is at 16, and each entry's data
// follows the previous one's, aligned to 16.
constexpr uint64_t NextEntryDataPosition(uint64_t position, const ArchiveEntry& entry) {
  return position + AlignedStoredSize(entry.StoredSize);
}

// Data position of entry index, walking the records from the first one.
uint64_t ArchiveEntryDataPosition(const ArchiveEntry* entries, uint32_t index);

// Whether StoredSize bytes at position lie wholly within a payload of
// payloadSize bytes.
constexpr int EntryDataInPayload(uint64_t position, const ArchiveEntry& entry,
                                 uint64_t payloadSize) {
  return position <= payloadSize && entry.StoredSize <= payloadSize - position;
}

#endif
