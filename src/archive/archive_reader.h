// The one reader of FA2 archives, for the updater and for fa2 alike.
//
// An archive is read where it lies in memory (the updater's locked resource,
// or a file that fa2 has read or mapped). OpenArchive checks the header and
// the directory once, decodes a compressed directory, and computes every
// entry's data position once; after that, lookups and reads are cheap and
// never walk the directory again.
//
// Contract:
//   - Nothing here writes to the archive's bytes, and nothing here reads
//     outside [payload, payload + payloadSize).
//   - Nothing here allocates. The caller gives OpenArchive a block of the
//     size that ArchiveBlockSize reports (the updater takes it with
//     GlobalAlloc, fa2 from the C++ heap); the reader's records point into
//     that block, which must outlive the reader.
//   - Nothing here shows anything or touches a file. Every refusal comes back
//     as an ArchiveProblem; the caller decides what to say.
//   - A damaged or hostile archive gives a problem, never a read or a write
//     out of bounds. All positions are 64-bit, so sizes near 4 GiB cannot
//     wrap.
#ifndef ARCHIVE_ARCHIVE_READER_H
#define ARCHIVE_ARCHIVE_READER_H

#include <cstddef>
#include <cstdint>

#include "archive/archive_format.h"
#include "archive/block_format.h"
#include "archive/decompress.h"

// Why the reader refused. The updater shows "RESOURCE READ ERROR" for every
// one of them except kArchiveEntryMissing; fa2 words each one for its
// messages.
enum ArchiveProblem : int {
  kArchiveOk = 0,
  kArchiveTooShort,            // shorter than the 16-byte header
  kArchiveNotFa2,              // no "FA2\0" magic (only checked on request)
  kArchiveDirectoryOffset,     // DirectoryOffset lies beyond the end
  kArchiveTooManyEntries,      // the directory block would not fit in 32 bits
  kArchiveDirectoryTruncated,  // a plain directory runs past the end
  kArchiveDirectoryDamaged,    // a compressed directory does not decode to EntryCount records
  kArchiveEntryMissing,        // no entry of that name
  kArchiveEntryOutside,        // an entry's data runs past the end of the archive
  kArchiveEntrySizes,          // a plain entry whose two sizes differ
  kArchiveEntryTooLarge,       // a compressed entry's UnpackedSize that no stream of
                               // StoredSize bytes can reach
  kArchiveEntryDamaged,        // a stream that does not decode to exactly UnpackedSize bytes
  kArchiveBlockTooSmall,       // the caller's block is smaller than ArchiveBlockSize said
  kArchiveEntryIsPatch,        // a patch entry read as if it were the file
  kArchivePatchRecord,         // a patch entry whose record is cut short, of an unknown
                               // version or method, or names a base over the limit
  kArchivePatchFrame,          // a patch whose frame is not one zstd frame of the new size
                               // within the window limit
  kArchivePatchDamaged,        // a patch that does not decode against its base
  kArchivePatchMismatch,       // a patch whose result has not the new file's hash
};

struct ArchiveReader {
  const uint8_t* Payload;
  uint64_t PayloadSize;
  ArchiveHeader Header;
  uint32_t EntryCount;
  // In the caller's block: a copy of the header followed by the EntryCount
  // records, plain, in archive order (the updater's Directory block), then
  // each entry's data position.
  const ArchiveEntry* Entries;
  const uint64_t* Positions;
};

// OpenArchive's options.
constexpr int kArchiveCheckMagic = 1;  // refuse an archive without the FA2 magic

// The size of the block that OpenArchive needs for this archive: 16 +
// EntryCount * (280 + 8) bytes, which must fit in 32 bits. Checks the header
// against the payload without decoding anything; a compressed directory must
// have enough bytes to decode to EntryCount records at all.
int ArchiveBlockSize(const uint8_t* payload, size_t payloadSize, int options,
                     uint32_t* blockSize, ArchiveProblem* why);

// Opens the archive into block (at least the blockSize bytes that
// ArchiveBlockSize gave, aligned for 64-bit numbers: GlobalAlloc and operator
// new give such blocks). Returns 1, or 0 with *why set; then only Payload,
// PayloadSize and Header (zero when the payload is too short for one) are
// set, so that the caller can word the refusal, and EntryCount is 0. Bytes of
// a compressed directory after its end marker are ignored, as are bytes after
// a plain directory's records.
int OpenArchive(ArchiveReader* reader, const uint8_t* payload, size_t payloadSize, int options,
                void* block, size_t blockSize, ArchiveProblem* why);

// Finds the first entry, in directory order, whose name equals name under
// the updater's comparison (ArchiveNamesEqual). A name field without its NUL
// is taken as its 260 bytes. Returns 1 and sets *index, or 0 (the problem is
// kArchiveEntryMissing).
int FindArchiveEntry(const ArchiveReader* reader, const char* name, uint32_t* index);

// Checks that entry index can be read: its data lies inside the payload
// (kArchiveEntryOutside), it is not a patch entry (kArchiveEntryIsPatch;
// archive/patch_records.h reads those), a plain entry's sizes agree
// (kArchiveEntrySizes), a compressed entry's UnpackedSize is reachable
// (kArchiveEntryTooLarge), in that order. Returns 1, or 0 with *why set.
int CheckArchiveEntry(const ArchiveReader* reader, uint32_t index, ArchiveProblem* why);

// The entry's stored bytes in the payload (StoredSize of them). Only for an
// entry that CheckArchiveEntry has passed.
const uint8_t* ArchiveEntryData(const ArchiveReader* reader, uint32_t index);

// Whether the entry is stored compressed.
int IsArchiveEntryCompressed(const ArchiveReader* reader, uint32_t index);

// Writes the entry's content, UnpackedSize bytes, to out (capacity bytes, at
// least UnpackedSize). Checks the entry first. Returns 1, or 0 with *why set;
// out then holds unspecified bytes. Bytes of out past UnpackedSize may be
// overwritten.
int ReadArchiveEntry(const ArchiveReader* reader, uint32_t index, uint8_t* out, size_t capacity,
                     ArchiveProblem* why);

// Reading an entry in parts, through a caller's buffer of any size from
// kArchiveEntryPartMinBuffer on, so that an entry of any size needs no block
// of its own size. The stream points into the payload, which must stay in
// place until the last part.
struct ArchiveEntryStream {
  const uint8_t* Plain;  // a plain entry's bytes not yet handed out
  BlockDecoder Decoder;  // a compressed entry's stream
  uint64_t Left;         // content bytes not yet handed out
  size_t Filled;         // output bytes in the buffer after the last part
  int Compressed;
  int Ended;             // the end marker has been taken
};

// The buffer holds the window that copies reach back into, room for a part
// and the slack that the last code of a part may write into.
constexpr size_t kArchiveEntryPartMinBuffer = kBlockWindow + 4096 + kBlockPartSlack;

// Checks entry index like ReadArchiveEntry and sets stream to its start.
// Returns 1, or 0 with *why set.
int OpenArchiveEntryStream(const ArchiveReader* reader, uint32_t index, ArchiveEntryStream* stream,
                           ArchiveProblem* why);

// Hands out the next part of the content: *part points into buffer (or, for a
// plain entry, into the payload) and *partSize is at least 1, or 0 once the
// whole content has been handed out and the stream found intact. Give the
// same buffer, unchanged, to every call: its end holds the window of the
// parts before. Returns 1, or 0 with *why set (kArchiveEntryDamaged when the
// stream does not decode to exactly UnpackedSize bytes, found as soon as it
// runs short or long; kArchiveBlockTooSmall for a buffer below the minimum).
// The parts handed out before a refusal are not to be trusted.
int ReadArchiveEntryPart(ArchiveEntryStream* stream, uint8_t* buffer, size_t bufferSize,
                         const uint8_t** part, size_t* partSize, ArchiveProblem* why);

#endif
