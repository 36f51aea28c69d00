// Making archives: an entry's record and stored bytes from its content, the
// directory, and the archive file itself, written entry by entry so that only
// one entry's content is in memory at a time.
#ifndef FA2_ARCHIVE_WRITER_H
#define FA2_ARCHIVE_WRITER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "fa2/archive/encoder.h"

struct PackedEntry {
  ArchiveEntry record;
  std::vector<uint8_t> stored;  // StoredSize bytes, without the alignment
};

// Makes the entry for content of size bytes under archiveName (CP932, at
// most 259 bytes, no NUL). The content is compressed (Flags 2) when the
// stream is shorter than the content, else stored plain (Flags 1); storeOnly
// stores it plain in any case. Every stream is decoded again and compared
// with the content before it is used. level is the encoder's level. Fails on
// a name that does not fit or content of 4 GiB or more. Safe to call from
// several threads at once.
int PackEntry(const std::string& archiveName, uint64_t fileTime, const uint8_t* content,
              size_t size, bool storeOnly, PackedEntry* entry, std::string* error,
              int level = kCompressLevelDefault);

// The directory as it is stored: the records one after the other, or those
// bytes as one compressed stream.
int EncodeDirectory(const std::vector<ArchiveEntry>& records, bool compressed,
                    std::vector<uint8_t>* directory, std::string* error);

// A whole archive in memory.
int BuildArchiveImage(const std::vector<PackedEntry>& entries, bool compressDirectory,
                      std::vector<uint8_t>* image, std::string* error);

// An archive being written, to a file or into memory: the header first as a
// placeholder, then each entry's data padded to 16, then the directory and at
// last the real header.
struct ArchiveWriter {
  FILE* file = nullptr;
  std::vector<uint8_t>* memory = nullptr;  // the archive in memory, when not a file
  bool compressDirectory = true;
  uint64_t position = 0;  // where the next entry's data goes
  uint64_t maxSize = UINT32_MAX;  // the archive must not grow past this
  std::vector<ArchiveEntry> records;
};

int BeginArchive(ArchiveWriter* writer, const std::string& path, std::string* error);
// Begins an archive in *memory, which the writer fills.
void BeginArchiveInMemory(ArchiveWriter* writer, std::vector<uint8_t>* memory);
int AddArchiveEntry(ArchiveWriter* writer, const PackedEntry& entry, std::string* error);
// Writes the directory and the header and closes the file (if any). *size
// gets the archive's length.
int FinishArchive(ArchiveWriter* writer, uint64_t* size, std::string* error);
// Closes the file after a failure; the caller deletes it.
void AbandonArchive(ArchiveWriter* writer);

#endif
