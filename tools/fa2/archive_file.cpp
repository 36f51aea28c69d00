#include "fa2/archive_file.h"

#include "fa2/host_files.h"
#include "fa2/pe_resources.h"

int ReadArchiveFile(const std::string& path, std::vector<uint8_t>* payload, std::string* error) {
  PayloadDigestStatus digest;
  return ReadArchiveFile(path, payload, &digest, error);
}

int ReadArchiveFile(const std::string& path, std::vector<uint8_t>* payload,
                    PayloadDigestStatus* digest, std::string* error) {
  *digest = PayloadDigestStatus{};
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
    digest->IsUpdater = 1;
    // The image and its tree have been read once by FindUpdatePayload.
    PeImage image;
    ResourceTree tree;
    const ResourceLeaf* record = nullptr;
    if (ParsePeImage(payload->data(), payload->size(), &image, error) &&
        ReadResourceTree(image, &tree, error))
      record = FindResource(tree, ResourceKey{1, kUpdateResourceType, 0},
                            ResourceKey{0, u"", kPayloadDigestResourceId});
    if (record) {
      digest->HasRecord = 1;
      digest->Check = CheckPayloadDigest(record->Data, record->Size, payload->data() + offset, length);
    }
    payload->erase(payload->begin() + offset + length, payload->end());
    payload->erase(payload->begin(), payload->begin() + offset);
  }
  return 1;
}

std::string DescribePayloadDigest(const PayloadDigestStatus& digest) {
  if (!digest.IsUpdater) return "a bare archive (no payload digest)";
  if (!digest.HasRecord)
    return "no payload digest (resource UPDATE/103): the updater cannot tell a damaged payload";
  return DescribePayloadDigestCheck(digest.Check);
}
