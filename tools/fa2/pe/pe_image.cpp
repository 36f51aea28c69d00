// Parsing and checking of PE headers. Every field that later code uses as a
// position or a size is tested here against the file's length, in 64-bit
// arithmetic so that no sum can wrap.
#include "fa2/pe/pe_image.h"

#include <cstring>

namespace {

uint16_t Read16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

uint32_t Read32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

int Fail(std::string* error, const char* reason) {
  if (error) *error = reason;
  return 0;
}

int IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// The size a section takes in memory: VirtualSize, or SizeOfRawData for the
// linkers that leave VirtualSize 0.
uint32_t SectionMemorySize(const SectionHeader& s) {
  return s.VirtualSize ? s.VirtualSize : s.SizeOfRawData;
}

}  // namespace

int LooksLikePeFile(const uint8_t* data, size_t size) {
  if (size < 64 || Read16(data) != kDosMagic) return 0;
  uint64_t pe = Read32(data + kDosNewHeaderField);
  return pe + 4 <= size && Read32(data + pe) == kPeSignature;
}

int ParsePeImage(const uint8_t* data, size_t size, PeImage* image, std::string* error) {
  PeImage im{};
  im.Data = data;
  im.Size = size;
  if (size < 64) return Fail(error, "too short for an MS-DOS header");
  if (Read16(data) != kDosMagic) return Fail(error, "not an executable (no MZ header)");
  uint64_t pe = Read32(data + kDosNewHeaderField);
  if (pe + 4 + sizeof(CoffFileHeader) > size)
    return Fail(error, "the PE header lies beyond the end of the file");
  if (Read32(data + pe) != kPeSignature) return Fail(error, "not a PE file (no PE signature)");
  im.FileHeaderOffset = pe + 4;
  std::memcpy(&im.FileHeader, data + im.FileHeaderOffset, sizeof(CoffFileHeader));

  im.OptionalHeaderOffset = im.FileHeaderOffset + sizeof(CoffFileHeader);
  uint32_t optSize = im.FileHeader.SizeOfOptionalHeader;
  if (uint64_t{im.OptionalHeaderOffset} + optSize > size)
    return Fail(error, "the optional header is truncated");
  const uint8_t* opt = data + im.OptionalHeaderOffset;
  if (optSize < 2) return Fail(error, "the optional header is missing");
  uint16_t magic = Read16(opt);
  size_t countField;
  if (magic == kOptionalMagicPe32Plus) {
    im.IsPe32Plus = 1;
    countField = kOptNumberOfRvaAndSizesPe32Plus;
  } else if (magic == kOptionalMagicPe32) {
    im.IsPe32Plus = 0;
    countField = kOptNumberOfRvaAndSizesPe32;
  } else {
    return Fail(error, "unknown optional header kind (neither PE32 nor PE32+)");
  }
  if (optSize < countField + 4) return Fail(error, "the optional header is too short");
  im.SizeOfInitializedData = Read32(opt + kOptSizeOfInitializedData);
  im.SectionAlignment = Read32(opt + kOptSectionAlignment);
  im.FileAlignment = Read32(opt + kOptFileAlignment);
  im.SizeOfImage = Read32(opt + kOptSizeOfImage);
  im.SizeOfHeaders = Read32(opt + kOptSizeOfHeaders);
  im.DirectoryCount = Read32(opt + countField);
  im.DirectoryOffset = im.OptionalHeaderOffset + countField + 4;
  if (countField + 4 + uint64_t{im.DirectoryCount} * sizeof(DataDirectory) > optSize)
    return Fail(error, "the data directories do not fit in the optional header");

  if (!IsPowerOfTwo(im.SectionAlignment) || !IsPowerOfTwo(im.FileAlignment) ||
      im.FileAlignment > im.SectionAlignment || im.FileAlignment > 0x10000)
    return Fail(error, "invalid section or file alignment");
  if (im.SizeOfHeaders > size) return Fail(error, "the headers are truncated (SizeOfHeaders)");

  im.SectionTableOffset = im.OptionalHeaderOffset + optSize;
  uint64_t tableEnd =
      im.SectionTableOffset + uint64_t{im.FileHeader.NumberOfSections} * sizeof(SectionHeader);
  if (tableEnd > size) return Fail(error, "the section table lies beyond the end of the file");
  if (tableEnd > im.SizeOfHeaders)
    return Fail(error, "the section table runs past the headers (SizeOfHeaders)");

  im.Sections.resize(im.FileHeader.NumberOfSections);
  uint64_t dataEnd = im.SizeOfHeaders;
  uint64_t previousEnd = 0;
  for (size_t i = 0; i < im.Sections.size(); i++) {
    SectionHeader& s = im.Sections[i];
    std::memcpy(&s, data + im.SectionTableOffset + i * sizeof(SectionHeader), sizeof s);
    if (s.SizeOfRawData != 0) {
      uint64_t rawEnd = uint64_t{s.PointerToRawData} + s.SizeOfRawData;
      if (rawEnd > size) return Fail(error, "a section's data lies beyond the end of the file");
      if (rawEnd > dataEnd) dataEnd = rawEnd;
    }
    // Sections follow each other in memory without overlap; the loader
    // refuses anything else, and the writer relies on it to place a new
    // section after the last one.
    uint64_t start = s.VirtualAddress;
    uint64_t end = start + AlignUp(SectionMemorySize(s), im.SectionAlignment);
    if (start < previousEnd || start < im.SizeOfHeaders)
      return Fail(error, "sections overlap or are out of order in memory");
    if (end > 0xFFFFFFFFu) return Fail(error, "a section lies beyond 4 GiB in memory");
    previousEnd = end;
  }
  im.ImageDataEnd = dataEnd;
  *image = std::move(im);
  return 1;
}

DataDirectory GetDataDirectory(const PeImage& image, uint32_t slot) {
  DataDirectory d{};
  if (slot < image.DirectoryCount)
    std::memcpy(&d, image.Data + image.DirectoryOffset + slot * sizeof(DataDirectory), sizeof d);
  return d;
}

int MapRvaToFile(const PeImage& image, uint32_t rva, uint32_t length, size_t* offset) {
  for (const SectionHeader& s : image.Sections) {
    uint32_t memorySize = SectionMemorySize(s);
    if (rva < s.VirtualAddress || rva - s.VirtualAddress >= memorySize) continue;
    uint64_t delta = rva - s.VirtualAddress;
    // Only bytes that are both loaded and present in the file can be read.
    uint64_t readable = memorySize < s.SizeOfRawData ? memorySize : s.SizeOfRawData;
    if (delta + length > readable) return 0;
    *offset = s.PointerToRawData + delta;
    return 1;
  }
  return 0;
}

uint32_t ComputePeChecksum(const uint8_t* data, size_t size, size_t checksumOffset) {
  uint64_t sum = 0;
  for (size_t i = 0; i < size; i += 2) {
    // The checksum field itself counts as zero.
    uint32_t low = i - checksumOffset < 4 ? 0 : data[i];
    uint32_t high = i + 1 >= size || i + 1 - checksumOffset < 4 ? 0 : data[i + 1];
    sum += low | high << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + size);
}
