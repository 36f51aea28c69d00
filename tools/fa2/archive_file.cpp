#include "fa2/archive_file.h"

#include "fa2/host_files.h"
#include "fa2/pe_resources.h"

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
  if (!ReadHostFile(path, kMaxArchiveSize, payload, error)) return 0;
  // An updater carries its archive as resource "UPDATE"/102: that payload is
  // the archive. An FA2 archive starts with "FA2", never with "MZ".
  if (LooksLikePeFile(payload->data(), payload->size())) {
    size_t offset, length;
    if (!FindUpdatePayload(payload->data(), payload->size(), &offset, &length, error)) return 0;
    payload->erase(payload->begin() + offset + length, payload->end());
    payload->erase(payload->begin(), payload->begin() + offset);
  }
  return 1;
}
