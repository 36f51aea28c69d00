// Making an updater: the stub's resource tree, with the payload put in as
// "UPDATE"/102, written back into the image.
//
// The new resource data cannot simply replace the old one where it is,
// because sections after it would have to move in memory, and their code
// and data refer to each other by address. So the data goes where nothing
// follows it in memory: into the resource section itself when that is the
// last section, else into a new section after the last one. The old
// resource section then stays as dead data. Whatever followed the image's
// data in the file (COFF symbols and their string table, which also holds
// long section names; appended data) is moved behind the new data, and the
// file offsets that point into it are moved with it.
#include <cstring>

#include "archive/payload_digest.h"
#include "fa2/pe/pe_branding.h"
#include "fa2/pe/pe_load_config.h"
#include "fa2/pe/pe_resources.h"
#include "fa2/check/update_check.h"

namespace {

int Fail(std::string* error, const char* reason) {
  if (error) *error = reason;
  return 0;
}

uint32_t Read32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void Write32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

constexpr size_t kOptAddressOfEntryPoint = 16;
constexpr uint32_t kFilePageSize = 4096;

uint64_t SectionEnd(const PeImage& image, const SectionHeader& s) {
  uint32_t memorySize = s.VirtualSize ? s.VirtualSize : s.SizeOfRawData;
  return s.VirtualAddress + AlignUp(memorySize, image.SectionAlignment);
}

// The resource data may be rebuilt inside its own section when that section
// holds the resource directory at its start, is last both in memory and in
// the file, and holds nothing else that the image refers to.
int CanRebuildInPlace(const PeImage& image) {
  DataDirectory res = GetDataDirectory(image, kDirectoryResource);
  if (image.Sections.empty() || res.VirtualAddress == 0) return 0;
  const SectionHeader& last = image.Sections.back();
  if (res.VirtualAddress != last.VirtualAddress || last.SizeOfRawData == 0 ||
      last.PointerToRawData < image.SizeOfHeaders ||
      uint64_t{last.PointerToRawData} + last.SizeOfRawData != image.ImageDataEnd)
    return 0;
  for (size_t i = 0; i + 1 < image.Sections.size(); i++) {
    const SectionHeader& s = image.Sections[i];
    if (s.SizeOfRawData != 0 && uint64_t{s.PointerToRawData} + s.SizeOfRawData > last.PointerToRawData)
      return 0;
  }
  uint64_t end = SectionEnd(image, last);
  for (uint32_t slot = 0; slot < image.DirectoryCount; slot++) {
    // The certificate table and the bound imports are found by file offset,
    // not by address; an empty slot points nowhere.
    if (slot == kDirectoryResource || slot == kDirectorySecurity || slot == kDirectoryBoundImport)
      continue;
    DataDirectory d = GetDataDirectory(image, slot);
    if (d.Size == 0) continue;
    if (d.VirtualAddress >= last.VirtualAddress && d.VirtualAddress < end) return 0;
  }
  uint32_t entry = Read32(image.Data + image.OptionalHeaderOffset + kOptAddressOfEntryPoint);
  return !(entry >= last.VirtualAddress && entry < end);
}

// A new section header goes right after the table: the room there must lie
// inside the headers, before every section's data, and be unused (zero).
int HasRoomForSectionHeader(const PeImage& image) {
  uint64_t start = image.SectionTableOffset + image.Sections.size() * sizeof(SectionHeader);
  uint64_t end = start + sizeof(SectionHeader);
  if (image.Sections.size() >= 0xFFFF || end > image.SizeOfHeaders) return 0;
  for (const SectionHeader& s : image.Sections)
    if (s.SizeOfRawData != 0 && s.PointerToRawData < end) return 0;
  for (uint64_t i = start; i < end; i++)
    if (image.Data[i] != 0) return 0;
  return 1;
}

// Moves the debug directory's file offsets that point behind the image's
// data by delta, as that part of the file moves. Only a directory in the
// part of the stub that was copied as it is (the first kept bytes) is
// changed; one that the loader cannot find is no concern of the updater.
void MoveDebugDataPointers(const PeImage& image, int64_t delta, size_t kept,
                           std::vector<uint8_t>* out) {
  DataDirectory debug = GetDataDirectory(image, kDirectoryDebug);
  size_t at;
  if (debug.VirtualAddress == 0 || !MapRvaToFile(image, debug.VirtualAddress, debug.Size, &at) ||
      at + debug.Size > kept)
    return;
  for (uint32_t i = 0; i + sizeof(DebugDirectoryEntry) <= debug.Size;
       i += sizeof(DebugDirectoryEntry)) {
    uint8_t* field = out->data() + at + i + offsetof(DebugDirectoryEntry, PointerToRawData);
    uint32_t pointer = Read32(field);
    if (pointer != 0 && pointer >= image.ImageDataEnd)
      Write32(field, static_cast<uint32_t>(pointer + delta));
  }
}

}  // namespace

int EmbedUpdatePayload(const uint8_t* stub, size_t stubSize, const uint8_t* payload,
                       size_t payloadSize, std::vector<uint8_t>* out, std::string* error,
                       const UpdaterBranding* branding, int withDigest, uint64_t imageLimit) {
  PeImage image;
  if (!ParsePeImage(stub, stubSize, &image, error)) return 0;
  DataDirectory security = GetDataDirectory(image, kDirectorySecurity);
  if (security.VirtualAddress != 0 || security.Size != 0)
    return Fail(error,
                "the executable is signed (it has a certificate table), and embedding would "
                "break the signature; embed into an unsigned stub and sign the result");
  if (image.DirectoryCount <= kDirectoryResource)
    return Fail(error, "the optional header has no slot for a resource directory");
  if (payloadSize == 0) return Fail(error, "the payload is empty");
  if (payloadSize > 0xFFFFFFFFu) return Fail(error, "the payload is larger than 4 GiB");
  // The image holds the payload whole: a payload that reaches the limit is
  // refused before it is copied, the exact size once the layout is known.
  if (!imageLimit) imageLimit = kUpdaterImageLimit;
  CheckFinding tooLarge;
  if (CheckUpdaterSize(payloadSize, imageLimit, &tooLarge) &&
      tooLarge.level == FindingLevel::Error) {
    if (error) *error = tooLarge.problem;
    return 0;
  }

  ResourceTree tree;
  if (!ReadResourceTree(image, &tree, error)) return 0;
  SetResource(&tree, ResourceKey{1, kPayloadResourceTypeWide, 0},
              ResourceKey{0, u"", kPayloadResourceId}, kPayloadResourceLanguage, payload,
              static_cast<uint32_t>(payloadSize));
  // The updater checks the payload against this record before it reads it.
  uint8_t digest[kPayloadDigestRecordSize];
  const ResourceKey digestName{0, u"", kPayloadDigestResourceId};
  if (withDigest) {
    BuildPayloadDigestRecord(payload, payloadSize, digest);
    SetResource(&tree, ResourceKey{1, kPayloadResourceTypeWide, 0}, digestName,
                kPayloadResourceLanguage, digest, sizeof digest);
  } else {
    RemoveResource(&tree, ResourceKey{1, kPayloadResourceTypeWide, 0}, digestName);
  }
  BrandingResources branded;
  if (branding && !ApplyBranding(&tree, *branding, &branded, error)) return 0;

  int inPlace = CanRebuildInPlace(image);
  if (!inPlace && !HasRoomForSectionHeader(image))
    return Fail(error, "no room in the headers for another section");
  uint64_t rva;
  if (inPlace) {
    rva = image.Sections.back().VirtualAddress;
  } else {
    // After everything the image holds in memory: the headers, every
    // section, and whatever SizeOfImage says.
    rva = AlignUp(image.SizeOfImage, image.SectionAlignment);
    if (!image.Sections.empty() && SectionEnd(image, image.Sections.back()) > rva)
      rva = SectionEnd(image, image.Sections.back());
    if (AlignUp(image.SizeOfHeaders, image.SectionAlignment) > rva)
      rva = AlignUp(image.SizeOfHeaders, image.SectionAlignment);
  }
  if (rva >= 0xFFFFFFFFu) return Fail(error, "the image has no address space left");
  std::vector<uint8_t> resources;
  if (!BuildResourceData(tree, static_cast<uint32_t>(rva), &resources, error)) return 0;

  uint64_t sizeOfImage = rva + AlignUp(resources.size(), image.SectionAlignment);
  // The new data starts on a page boundary of the file. A loader that maps
  // sections with the system's file mapping (wine's does) can map only one
  // that starts there; any other it reads into private memory, so that the
  // whole payload would count against the updater's memory.
  const uint32_t rawAlignment =
      image.FileAlignment > kFilePageSize ? image.FileAlignment : kFilePageSize;
  uint64_t rawStart = AlignUp(inPlace ? image.Sections.back().PointerToRawData
                                      : image.ImageDataEnd,
                              rawAlignment);
  uint64_t rawSize = AlignUp(resources.size(), image.FileAlignment);
  uint64_t tailStart = rawStart + rawSize;
  uint64_t tailSize = stubSize - image.ImageDataEnd;
  if (sizeOfImage > 0xFFFFFFFFu || tailStart + tailSize > 0xFFFFFFFFu)
    return Fail(error, "the result would be larger than 4 GiB");
  if (CheckUpdaterSize(sizeOfImage > tailStart + tailSize ? sizeOfImage : tailStart + tailSize,
                       imageLimit, &tooLarge) &&
      tooLarge.level == FindingLevel::Error) {
    if (error) *error = tooLarge.problem;
    return 0;
  }
  int64_t delta = static_cast<int64_t>(tailStart) - static_cast<int64_t>(image.ImageDataEnd);

  // The file: the stub up to the new data (zeros up to its page), the new
  // data padded to the file alignment, then the stub's tail.
  out->assign(tailStart + tailSize, 0);
  size_t kept = inPlace ? image.Sections.back().PointerToRawData : image.ImageDataEnd;
  std::memcpy(out->data(), stub, kept);
  std::memcpy(out->data() + rawStart, resources.data(), resources.size());
  if (tailSize) std::memcpy(out->data() + tailStart, stub + image.ImageDataEnd, tailSize);

  // The section header: the resource section's grows or shrinks in place,
  // or a new one follows the table.
  SectionHeader section{};
  int64_t oldRawSize = 0;
  size_t sectionAt = image.SectionTableOffset + image.Sections.size() * sizeof(SectionHeader);
  if (inPlace) {
    section = image.Sections.back();
    oldRawSize = section.SizeOfRawData;
    section.PointerToRawData = static_cast<uint32_t>(rawStart);
    sectionAt -= sizeof(SectionHeader);
  } else {
    std::memcpy(section.Name, ".rsrc", 5);
    section.VirtualAddress = static_cast<uint32_t>(rva);
    section.PointerToRawData = static_cast<uint32_t>(rawStart);
    section.Characteristics = kSectionInitializedData | kSectionMemRead;
    uint16_t count = static_cast<uint16_t>(image.Sections.size() + 1);
    std::memcpy(out->data() + image.FileHeaderOffset + offsetof(CoffFileHeader, NumberOfSections),
                &count, 2);
  }
  section.VirtualSize = static_cast<uint32_t>(resources.size());
  section.SizeOfRawData = static_cast<uint32_t>(rawSize);
  std::memcpy(out->data() + sectionAt, &section, sizeof section);

  // The optional header's sizes and the resource data directory.
  uint8_t* opt = out->data() + image.OptionalHeaderOffset;
  Write32(opt + kOptSizeOfImage, static_cast<uint32_t>(sizeOfImage));
  int64_t initialized = int64_t{image.SizeOfInitializedData} + static_cast<int64_t>(rawSize) -
                        oldRawSize;
  if (initialized < 0) initialized = 0;
  if (initialized > 0xFFFFFFFF) initialized = 0xFFFFFFFF;
  Write32(opt + kOptSizeOfInitializedData, static_cast<uint32_t>(initialized));
  DataDirectory res{static_cast<uint32_t>(rva), static_cast<uint32_t>(resources.size())};
  std::memcpy(out->data() + image.DirectoryOffset + kDirectoryResource * sizeof(DataDirectory),
              &res, sizeof res);

  // File offsets into the moved tail.
  uint32_t symbols = image.FileHeader.PointerToSymbolTable;
  if (symbols != 0 && symbols >= image.ImageDataEnd)
    Write32(out->data() + image.FileHeaderOffset + offsetof(CoffFileHeader, PointerToSymbolTable),
            static_cast<uint32_t>(symbols + delta));
  MoveDebugDataPointers(image, delta, kept, out);
  // Libraries bound at load time come from the system folder only, never
  // from the downloads folder the updater is started from.
  SetDependentLoadFlags(image, kept, out);

  size_t checksumAt = image.OptionalHeaderOffset + kOptCheckSum;
  Write32(out->data() + checksumAt, 0);
  Write32(out->data() + checksumAt, ComputePeChecksum(out->data(), out->size(), checksumAt));
  return 1;
}
