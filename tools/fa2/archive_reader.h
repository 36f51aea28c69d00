// Reading an archive held in memory: its directory, each entry's data
// position and content, and a full check of its structure. Every read goes
// through the checks of archive/archive_directory.h and the bounded decoder,
// so a damaged archive gives a reason, never a read outside it.
#ifndef FA2_ARCHIVE_READER_H
#define FA2_ARCHIVE_READER_H

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_format.h"

struct ArchiveContents {
  ArchiveHeader header;
  std::vector<ArchiveEntry> entries;  // in directory order
  std::vector<uint64_t> positions;    // data position of each entry
};

// The entry's name: the bytes of Name up to its first NUL (all 260 when there
// is none, which VerifyArchive reports).
std::string EntryName(const ArchiveEntry& entry);

// Reads the header and the directory. On failure *error says which check
// failed: a short file, a wrong magic, or a directory that does not fit.
int OpenArchive(const std::vector<uint8_t>& payload, ArchiveContents* archive,
                std::string* error);

// The content of entry index: its stored bytes, or its stream decoded to
// exactly UnpackedSize bytes within StoredSize. On failure *error says why.
int ReadEntryContent(const std::vector<uint8_t>& payload, const ArchiveContents& archive,
                     size_t index, std::vector<uint8_t>* content, std::string* error);

// Checks the header, the directory and every entry. Appends one line to
// *problems for each fault and returns 1 when there was none. *notes gets
// observations that are not faults (names that the updater can never reach).
int VerifyArchive(const std::vector<uint8_t>& payload, std::vector<std::string>* problems,
                  std::vector<std::string>* notes);

#endif
