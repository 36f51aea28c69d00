#include "fa2/patch/patch_checks.h"

#include <cstring>
#include <map>

#include "archive/patch_frames.h"
#include "archive/patch_records.h"
#include "archive/payload_digest.h"
#include "common/updater_contract.h"
#include "fa2/archive/archive_image.h"
#include "fa2/host/host_files.h"
#include "fa2/host/names.h"
#include "fa2/patch/patch_text.h"
#include "fa2/pe/pe_resources.h"

std::string HexHash(const uint8_t hash[16]) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (int i = 0; i < 16; ++i) {
    text += kDigits[hash[i] >> 4];
    text += kDigits[hash[i] & 15];
  }
  return text;
}

namespace {

// Reads the record of the patch at index for listing; returns false with why
// when the entry is no sound patch.
bool ReadListedPatch(const ArchiveReader& reader, uint32_t index, PatchRecord* record,
                     ArchiveProblem* why) {
  const uint8_t* frame;
  size_t frameSize;
  return ReadArchivePatch(&reader, index, record, &frame, &frameSize, why);
}

}  // namespace

std::string PatchListColumn(const ArchiveReader& reader, uint32_t index) {
  if (!IsArchivePatch(&reader, index)) return std::string();
  PatchRecord record;
  ArchiveProblem why;
  if (!ReadListedPatch(reader, index, &record, &why))
    return "\t" + DescribeArchiveProblem(reader, index, why);
  return "\tfrom " + std::to_string(record.BaseSize) + " bytes, XXH3-128 " +
         HexHash(record.BaseHash);
}

std::string PatchListJson(const ArchiveReader& reader, uint32_t index) {
  if (!IsArchivePatch(&reader, index)) return std::string();
  PatchRecord record;
  ArchiveProblem why;
  if (!ReadListedPatch(reader, index, &record, &why)) return ", \"patch\": null";
  return ", \"patch\": {\"base_size\": " + std::to_string(record.BaseSize) +
         ", \"base_xxh3_128\": \"" + HexHash(record.BaseHash) + "\"}";
}

bool IsPatchBesideItsFile(const ArchiveReader& reader, uint32_t index) {
  if (!IsArchivePatch(&reader, index)) return false;
  const std::string name = EntryName(reader.Entries[index]);
  uint32_t other = 0;
  return FindArchiveEntry(&reader, name.c_str(), &other) ||
         (NextArchivePatch(&reader, name.c_str(), &other) && other < index);
}

std::vector<std::string> EntriesWithoutFallback(const ArchiveReader& reader) {
  std::vector<std::string> names;
  std::map<std::string, bool> seen;
  for (uint32_t i = 0; i < reader.EntryCount; ++i) {
    if (!IsArchivePatch(&reader, i)) continue;
    const std::string name = EntryName(reader.Entries[i]);
    uint32_t full;
    if (seen.emplace(FoldArchiveName(name), true).second &&
        !FindArchiveEntry(&reader, name.c_str(), &full))
      names.push_back(name);
  }
  return names;
}

std::string CheckPatchEntry(const ArchiveReader& reader, uint32_t index) {
  PatchRecord record;
  const uint8_t* frame;
  size_t frameSize;
  ArchiveProblem why;
  if (!ReadArchivePatch(&reader, index, &record, &frame, &frameSize, &why) ||
      !CheckPatchFrame(frame, frameSize, reader.Entries[index].UnpackedSize, &why))
    return DescribeArchiveProblem(reader, index, why);
  return std::string();
}

namespace {

// Every regular file below folder, by its name folded as the updater folds
// entry names, with its host path.
void CollectFilesBelow(const std::string& folder, int depth,
                       std::multimap<std::string, std::string>* files) {
  std::vector<std::string> names, folders;
  std::string error;
  if (depth > 16 || !ListFolderFiles(folder, &names, &error, &folders)) return;
  for (const std::string& name : names) {
    std::string archiveName;
    if (HostNameToArchiveName(name, &archiveName))
      files->emplace(FoldArchiveName(archiveName), JoinHostPath(folder, name));
  }
  for (const std::string& sub : folders) CollectFilesBelow(JoinHostPath(folder, sub), depth + 1, files);
}

}  // namespace

int ApplyPatchesFrom(const ArchiveReader& reader, const std::vector<std::string>& folders,
                     std::vector<std::string>* problems, std::vector<std::string>* notes) {
  std::multimap<std::string, std::string> files;
  for (const std::string& folder : folders) CollectFilesBelow(folder, 0, &files);
  const size_t before = problems->size();
  size_t applied = 0, patches = 0;
  for (uint32_t i = 0; i < reader.EntryCount; ++i) {
    if (!IsArchivePatch(&reader, i)) continue;
    ++patches;
    PatchRecord record;
    const uint8_t* frame;
    size_t frameSize;
    ArchiveProblem why;
    if (!ReadArchivePatch(&reader, i, &record, &frame, &frameSize, &why)) continue;  // reported
    const auto range = files.equal_range(FoldArchiveName(EntryName(reader.Entries[i])));
    for (auto it = range.first; it != range.second; ++it) {
      HostFileView base;
      std::string error;
      uint8_t hash[16];
      if (!MapHostFile(it->second, kPatchMaxBaseSize, &base, &error) ||
          base.size != record.BaseSize)
        continue;
      DigestXxh3_128(base.data, base.size, hash);
      if (std::memcmp(hash, record.BaseHash, 16) != 0) continue;
      if (!CheckPatchFrame(frame, frameSize, reader.Entries[i].UnpackedSize, &why)) break;  // reported
      std::vector<uint8_t> made(reader.Entries[i].UnpackedSize);
      if (!ApplyPatchFrame(frame, frameSize, base.data, base.size, made.data(), made.size(),
                           record.NewHash, &why))
        problems->push_back(DescribeArchiveProblem(reader, i, why) + " (base " + it->second + ")");
      ++applied;
      break;
    }
  }
  notes->push_back(std::to_string(applied) + " of " + std::to_string(patches) +
                   " patches applied to their bases from the --from folders");
  return problems->size() == before;
}

uint32_t StubFeatures(const uint8_t* stub, size_t size) {
  PeImage image;
  ResourceTree tree;
  std::string error;
  if (!ParsePeImage(stub, size, &image, &error) || !ReadResourceTree(image, &tree, &error))
    return 0;
  const ResourceLeaf* leaf = FindResource(tree, ResourceKey{1, kPayloadResourceTypeWide, 0},
                                          ResourceKey{0, u"", kStubFeaturesResourceId});
  return leaf ? DecodeStubFeatures(leaf->Data, leaf->Size) : 0;
}

int CheckStubTakesArchive(const uint8_t* stub, size_t stubSize, const std::vector<uint8_t>& archive,
                          std::string* error) {
  OpenedArchive opened;
  if (!OpenArchiveImage(archive, &opened, error)) return 0;
  if (!ArchiveHasPatches(&opened.reader)) return 1;
  if (StubFeatures(stub, stubSize) & kStubFeaturePatches) return 1;
  *error = "this updater program cannot apply patch entries, and the archive has them: it would "
           "write a patch as if it were the file (use an updater.exe of this fa2, or pack "
           "without --from)";
  return 0;
}
