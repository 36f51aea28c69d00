// Making updaters for the end-to-end tests the way publishers do: an FA2
// archive from named files, put into the built updater stub with the same
// code as `fa2 embed`.
#ifndef E2E_UPDATER_MAKER_H
#define E2E_UPDATER_MAKER_H

#include <cstdint>
#include <string>
#include <vector>

#include "test_archives.h"

using ArchiveFile = TestFile;

// The archive image of files, in this order (their patches after them), with
// a compressed directory.
// Fails the current test (and returns an empty image) when packing fails.
std::vector<uint8_t> MakeArchiveImage(const std::vector<ArchiveFile>& files);

// The built updater stub, without a payload, as a wine path.
std::string UpdaterStubPath();

struct UpdaterBranding;

// Writes to path the stub with payload as its resource "UPDATE"/102, with
// the branding's icon and version when one is given, and, unless withDigest
// is false, the payload's digest record beside it. Returns false (and fails
// the current test) on any error.
bool MakeUpdaterExe(const std::vector<uint8_t>& payload, const std::string& path,
                    const UpdaterBranding* branding = nullptr, bool withDigest = true);

// Damages the updater at path as a download can be damaged: the payload's
// bytes at each offset (from the payload's start; negative ones from its
// end) get their lowest bit flipped in the file. Returns false (and fails
// the current test) when the file or its payload cannot be had.
bool FlipPayloadBytes(const std::string& path, const std::vector<int64_t>& offsets);

// Copies the stub itself to path: an updater without any payload.
bool CopyUpdaterStub(const std::string& path);

#endif
