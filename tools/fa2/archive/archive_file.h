// Where fa2 takes an archive's bytes from. Every subcommand that reads an
// archive goes through ReadArchiveFile, so that other containers of an
// archive can be recognised in this one place.
#ifndef FA2_ARCHIVE_FILE_H
#define FA2_ARCHIVE_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "archive/payload_digest.h"
#include "fa2/host/host_files.h"

// The largest archive: its size must fit the 32-bit positions and the
// payload size of the updater.
constexpr uint64_t kMaxArchiveSize = UINT32_MAX;

// Reads the archive (the payload) from the file at path into *payload: the
// whole file, or, for an updater (a PE file), its resource "UPDATE"/102. On
// failure *error says why, without the path.
int ReadArchiveFile(const std::string& path, std::vector<uint8_t>* payload, std::string* error);

// What a file says about its payload's digest.
struct PayloadDigestStatus {
  int IsUpdater = 0;  // the file is an updater, not a bare archive
  int HasRecord = 0;  // the updater carries the digest record "UPDATE"/103
  PayloadDigestCheck Check = kDigestMatches;  // the payload against the record, when there is one
};

// ReadArchiveFile, and for an updater also its digest record checked against
// the payload, as the updater checks it at its start.
int ReadArchiveFile(const std::string& path, std::vector<uint8_t>* payload,
                    PayloadDigestStatus* digest, std::string* error);

// An archive's bytes in the file that holds them: size bytes at data, within
// the file's view.
struct ArchiveBytes {
  HostFileView file;
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// Maps the file at path for reading and finds the archive (the payload) in
// it: the whole file, or, for an updater (a PE file), its resource
// "UPDATE"/102, with its digest record checked against the payload, as the
// updater checks it at its start. On failure *error says why, without the
// path. ReadArchiveFile is this with the payload copied out.
int MapArchiveFile(const std::string& path, ArchiveBytes* archive, PayloadDigestStatus* digest,
                   std::string* error);

// One line about the digest of the file's payload, for the user.
std::string DescribePayloadDigest(const PayloadDigestStatus& digest);

#endif
