#include "updater_maker.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "fa2/pe/pe_resources.h"
#include "harness/test_env.h"

std::vector<uint8_t> MakeArchiveImage(const std::vector<ArchiveFile>& files) {
  std::string error;
  std::vector<uint8_t> image = PackTestArchive(files, &error);
  if (image.empty()) ADD_FAILURE() << "packing the archive: " << error;
  return image;
}

std::string UpdaterStubPath() { return HostPath(UPDATER_STUB); }

bool MakeUpdaterExe(const std::vector<uint8_t>& payload, const std::string& path,
                    const UpdaterBranding* branding, bool withDigest) {
  std::string stub = ReadBytes(UpdaterStubPath());
  if (stub.empty()) {
    ADD_FAILURE() << "cannot read the updater stub " << UpdaterStubPath();
    return false;
  }
  std::vector<uint8_t> exe;
  std::string error;
  if (!EmbedUpdatePayload(reinterpret_cast<const uint8_t*>(stub.data()), stub.size(),
                          payload.data(), payload.size(), &exe, &error, branding,
                          withDigest)) {
    ADD_FAILURE() << "embedding the payload: " << error;
    return false;
  }
  if (!WriteBytes(path, std::string(exe.begin(), exe.end()))) {
    ADD_FAILURE() << "cannot write " << path;
    return false;
  }
  return true;
}

bool FlipPayloadBytes(const std::string& path, const std::vector<int64_t>& offsets) {
  std::string exe = ReadBytes(path);
  size_t at = 0, length = 0;
  std::string error;
  if (!FindUpdatePayload(reinterpret_cast<const uint8_t*>(exe.data()), exe.size(), &at, &length,
                         &error)) {
    ADD_FAILURE() << path << ": " << error;
    return false;
  }
  for (int64_t offset : offsets) {
    const int64_t inPayload = offset < 0 ? static_cast<int64_t>(length) + offset : offset;
    if (inPayload < 0 || inPayload >= static_cast<int64_t>(length)) {
      ADD_FAILURE() << "offset " << offset << " lies outside the payload of " << length << " bytes";
      return false;
    }
    exe[at + static_cast<size_t>(inPayload)] ^= 1;
  }
  if (!WriteBytes(path, exe)) {
    ADD_FAILURE() << "cannot write " << path;
    return false;
  }
  return true;
}

bool CopyUpdaterStub(const std::string& path) {
  if (!CopyFileA(UpdaterStubPath().c_str(), path.c_str(), FALSE)) {
    ADD_FAILURE() << "cannot copy the updater stub to " << path;
    return false;
  }
  return true;
}
