// A checked view of a PE file held in memory: its headers and section table
// parsed once, with every position and size tested against the file's
// length, so that later readers can map addresses to file offsets without
// ever reading outside the buffer.
#ifndef FA2_PE_IMAGE_H
#define FA2_PE_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fa2/pe/pe_format.h"

struct PeImage {
  const uint8_t* Data;  // the whole file; not owned
  size_t Size;

  size_t FileHeaderOffset;       // the CoffFileHeader, right after "PE\0\0"
  CoffFileHeader FileHeader;
  size_t OptionalHeaderOffset;
  int IsPe32Plus;                // 1 for PE32+ (64-bit), 0 for PE32
  uint32_t SectionAlignment;
  uint32_t FileAlignment;
  uint32_t SizeOfImage;
  uint32_t SizeOfHeaders;
  uint32_t SizeOfInitializedData;
  size_t DirectoryOffset;        // file offset of DataDirectory slot 0
  uint32_t DirectoryCount;       // slots that the optional header holds

  size_t SectionTableOffset;
  std::vector<SectionHeader> Sections;

  // End of the bytes that belong to the image: the headers and the
  // sections' raw data. Whatever follows (COFF symbols, a certificate
  // table, appended data) is the overlay.
  size_t ImageDataEnd;
};

// Tells whether the buffer starts like a PE file ("MZ" and a "PE\0\0"
// signature where e_lfanew points). Used to tell an executable from an
// archive before parsing it.
int LooksLikePeFile(const uint8_t* data, size_t size);

// Parses and checks the headers and the section table. Returns 1 and fills
// *image, or 0 with the reason in *error when the file is not a PE file or
// any header field points outside the file or contradicts the format.
int ParsePeImage(const uint8_t* data, size_t size, PeImage* image, std::string* error);

// Returns the data directory slot, or an empty one when the optional header
// has fewer slots.
DataDirectory GetDataDirectory(const PeImage& image, uint32_t slot);

// Maps the image range [rva, rva + length) to a file offset. Returns 1 with
// *offset when the whole range lies inside one section and inside the bytes
// that section has in the file; 0 otherwise.
int MapRvaToFile(const PeImage& image, uint32_t rva, uint32_t length, size_t* offset);

// The image's PE checksum: the 16-bit one's-complement sum of the file taken
// as little-endian words, with the four bytes at checksumOffset counted as
// zero and an odd last byte as a word of its own, plus the file length.
uint32_t ComputePeChecksum(const uint8_t* data, size_t size, size_t checksumOffset);

// Rounds value up to a multiple of alignment, a power of two.
constexpr uint64_t AlignUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) & ~(alignment - 1);
}

#endif
