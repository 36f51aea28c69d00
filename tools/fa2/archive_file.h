// Where fa2 takes an archive's bytes from. Every subcommand that reads an
// archive goes through ReadArchiveFile, so that other containers of an
// archive can be recognised in this one place.
#ifndef FA2_ARCHIVE_FILE_H
#define FA2_ARCHIVE_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "archive/payload_digest.h"

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

// One line about the digest of the file's payload, for the user.
std::string DescribePayloadDigest(const PayloadDigestStatus& digest);

#endif
