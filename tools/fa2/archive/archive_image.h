// fa2's hold on an archive in memory: the one archive reader
// (archive/archive_reader.h) opened over the payload, each of its refusals
// worded for fa2's messages, and a full check of the archive on top of it.
#ifndef FA2_ARCHIVE_IMAGE_H
#define FA2_ARCHIVE_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_reader.h"

// The reader and its block. The reader points into the block and into the
// payload it was opened over: both must outlive it, and a copy of an
// OpenedArchive must not be used.
struct OpenedArchive {
  std::vector<uint64_t> block;  // 64-bit elements: the block holds positions
  ArchiveReader reader;
};

// The entry's name: the bytes of Name up to its first NUL (all 260 when there
// is none, which VerifyArchive reports).
std::string EntryName(const ArchiveEntry& entry);

// The reader's refusal in words, with the numbers that explain it. index
// names the entry for the entry problems.
std::string DescribeArchiveProblem(const ArchiveReader& reader, uint32_t index,
                                   ArchiveProblem why);

// Opens the archive (its FA2 magic required). On failure *error says which
// check failed.
int OpenArchiveImage(const uint8_t* payload, size_t size, OpenedArchive* archive,
                     std::string* error);
inline int OpenArchiveImage(const std::vector<uint8_t>& payload, OpenedArchive* archive,
                            std::string* error) {
  return OpenArchiveImage(payload.data(), payload.size(), archive, error);
}

// The content of entry index: its stored bytes, or its stream decoded to
// exactly UnpackedSize bytes within StoredSize. On failure *error says why.
int ReadEntryContent(const ArchiveReader& reader, uint32_t index, std::vector<uint8_t>* content,
                     std::string* error);

// Checks the header, the directory and every entry, beyond what the reader
// needs to read them: the name, data that runs into the directory, undefined
// header flags. Appends one line to *problems for each fault and returns 1
// when there was none. *notes gets observations that are not faults (names
// that the updater can never reach). The entries are decoded on as many
// threads as the processor has cores (no more than the entries), each into
// one buffer of its own that it reuses; the lines follow the entries' order
// all the same.
int VerifyArchive(const uint8_t* payload, size_t size, std::vector<std::string>* problems,
                  std::vector<std::string>* notes);
inline int VerifyArchive(const std::vector<uint8_t>& payload, std::vector<std::string>* problems,
                         std::vector<std::string>* notes) {
  return VerifyArchive(payload.data(), payload.size(), problems, notes);
}

#endif
