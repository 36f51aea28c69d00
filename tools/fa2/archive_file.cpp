#include "fa2/archive_file.h"

#include "fa2/host_files.h"

int ReadArchiveFile(const std::string& path, std::vector<uint8_t>* payload, std::string* error) {
  HostFileInfo info;
  if (!StatHostFile(path, &info, error)) return 0;
  if (info.isDirectory) {
    *error = "is a folder, not an archive";
    return 0;
  }
  if (info.size > kMaxArchiveSize) {
    *error = "file is larger than an archive can be (4 GiB)";
    return 0;
  }
  return ReadHostFile(path, kMaxArchiveSize, payload, error);
}
