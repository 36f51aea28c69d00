#include "fa2/archive/archive_file.h"

#include "fa2/host/host_files.h"
#include "fa2/pe/pe_resources.h"

int MapArchiveFile(const std::string& path, ArchiveBytes* archive, PayloadDigestStatus* digest,
                   std::string* error) {
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
  if (!MapHostFile(path, kMaxArchiveSize, &archive->file, error)) return 0;
  const uint8_t* const file = archive->file.data;
  const size_t fileSize = archive->file.size;
  archive->data = file;
  archive->size = fileSize;
  // An updater carries its archive as resource "UPDATE"/102: that payload is
  // the archive. An FA2 archive starts with "FA2", never with "MZ".
  if (LooksLikePeFile(file, fileSize)) {
    size_t offset, length;
    if (!FindUpdatePayload(file, fileSize, &offset, &length, error)) return 0;
    digest->IsUpdater = 1;
    // The image and its tree have been read once by FindUpdatePayload.
    PeImage image;
    ResourceTree tree;
    const ResourceLeaf* record = nullptr;
    if (ParsePeImage(file, fileSize, &image, error) && ReadResourceTree(image, &tree, error))
      record = FindResource(tree, ResourceKey{1, kPayloadResourceTypeWide, 0},
                            ResourceKey{0, u"", kPayloadDigestResourceId});
    if (record) {
      digest->HasRecord = 1;
      digest->Check = CheckPayloadDigest(record->Data, record->Size, file + offset, length);
    }
    archive->data = file + offset;
    archive->size = length;
  }
  return 1;
}

int ReadArchiveFile(const std::string& path, std::vector<uint8_t>* payload,
                    PayloadDigestStatus* digest, std::string* error) {
  ArchiveBytes archive;
  if (!MapArchiveFile(path, &archive, digest, error)) return 0;
  payload->assign(archive.data, archive.data + archive.size);
  return 1;
}

int ReadArchiveFile(const std::string& path, std::vector<uint8_t>* payload, std::string* error) {
  PayloadDigestStatus digest;
  return ReadArchiveFile(path, payload, &digest, error);
}

std::string DescribePayloadDigest(const PayloadDigestStatus& digest) {
  if (!digest.IsUpdater) return "a bare archive (no payload digest)";
  if (!digest.HasRecord)
    return "no payload digest (resource UPDATE/103): the updater cannot tell a damaged payload";
  return DescribePayloadDigestCheck(digest.Check);
}
