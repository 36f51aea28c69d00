// Where fa2 takes an archive's bytes from. Every subcommand that reads an
// archive goes through ReadArchiveFile, so that other containers of an
// archive can be recognised in this one place.
#ifndef FA2_ARCHIVE_FILE_H
#define FA2_ARCHIVE_FILE_H

#include <cstdint>
#include <string>
#include <vector>

// The largest archive: its size must fit the 32-bit positions and the
// payload size of the updater.
constexpr uint64_t kMaxArchiveSize = UINT32_MAX;

// Reads the archive (the payload) from the file at path into *payload: the
// whole file, or, for an updater (a PE file), its resource "UPDATE"/102. On
// failure *error says why, without the path.
int ReadArchiveFile(const std::string& path, std::vector<uint8_t>* payload, std::string* error);

#endif
