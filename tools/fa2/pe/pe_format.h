// Records of the Windows executable (PE) format that the resource writer
// reads and writes, defined here so that fa2 builds without any Windows
// header.
//
// A PE file starts with an MS-DOS header whose 32-bit field at 0x3C
// (e_lfanew) points at the signature "PE\0\0". The 20-byte CoffFileHeader
// follows the signature, then the optional header (PE32 or PE32+, told apart
// by its first 16-bit field), which ends in an array of DataDirectory slots;
// the section table comes right after the optional header. The resource
// data is a tree of ResourceDirectory tables, three levels deep (type, name,
// language), whose leaves are ResourceDataEntry records.
//
// All integers are unsigned little-endian. The records are read and written
// with memcpy into these structs, which match the stored layout byte for byte
// on a little-endian machine (checked below), so no field is ever accessed
// through a misaligned pointer into a file buffer.
#ifndef FA2_PE_FORMAT_H
#define FA2_PE_FORMAT_H

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "the PE records are read by copying them into memory as they are");

constexpr uint16_t kDosMagic = 0x5A4D;           // "MZ"
constexpr size_t kDosNewHeaderField = 0x3C;      // e_lfanew: offset of "PE\0\0"
constexpr uint32_t kPeSignature = 0x00004550;    // "PE\0\0"
constexpr uint16_t kOptionalMagicPe32 = 0x10B;
constexpr uint16_t kOptionalMagicPe32Plus = 0x20B;

struct CoffFileHeader {
  uint16_t Machine;
  uint16_t NumberOfSections;
  uint32_t TimeDateStamp;
  uint32_t PointerToSymbolTable;  // file offset of the COFF symbols, or 0
  uint32_t NumberOfSymbols;
  uint16_t SizeOfOptionalHeader;
  uint16_t Characteristics;
};

// Positions of the optional header's fields that the writer needs; the same
// in PE32 and PE32+ up to CheckSum. The data directories start at a position
// that depends on the variant.
constexpr size_t kOptSizeOfInitializedData = 8;
constexpr size_t kOptSectionAlignment = 32;
constexpr size_t kOptFileAlignment = 36;
constexpr size_t kOptSizeOfImage = 56;
constexpr size_t kOptSizeOfHeaders = 60;
constexpr size_t kOptCheckSum = 64;
constexpr size_t kOptNumberOfRvaAndSizesPe32 = 92;
constexpr size_t kOptNumberOfRvaAndSizesPe32Plus = 108;

struct DataDirectory {
  uint32_t VirtualAddress;
  uint32_t Size;
};

// Slots of the data directory array.
constexpr uint32_t kDirectoryResource = 2;
constexpr uint32_t kDirectorySecurity = 4;  // certificate table: a file offset
constexpr uint32_t kDirectoryDebug = 6;
constexpr uint32_t kDirectoryLoadConfig = 10;
constexpr uint32_t kDirectoryBoundImport = 11;  // a file offset, inside the headers

struct SectionHeader {
  char Name[8];
  uint32_t VirtualSize;
  uint32_t VirtualAddress;
  uint32_t SizeOfRawData;
  uint32_t PointerToRawData;
  uint32_t PointerToRelocations;
  uint32_t PointerToLinenumbers;
  uint16_t NumberOfRelocations;
  uint16_t NumberOfLinenumbers;
  uint32_t Characteristics;
};

constexpr uint32_t kSectionInitializedData = 0x00000040;
constexpr uint32_t kSectionMemRead = 0x40000000;

// Entries of the debug directory point at their data by file offset as well
// as by address, so data outside the sections moves with the file's tail.
struct DebugDirectoryEntry {
  uint32_t Characteristics;
  uint32_t TimeDateStamp;
  uint16_t MajorVersion;
  uint16_t MinorVersion;
  uint32_t Type;
  uint32_t SizeOfData;
  uint32_t AddressOfRawData;
  uint32_t PointerToRawData;
};

struct ResourceDirectory {
  uint32_t Characteristics;
  uint32_t TimeDateStamp;
  uint16_t MajorVersion;
  uint16_t MinorVersion;
  uint16_t NumberOfNamedEntries;  // these entries come first, sorted by name
  uint16_t NumberOfIdEntries;     // then these, sorted by id
};

// Name: with kResourceHighBit set, the offset of a counted UTF-16 string
// (16-bit length, then the characters) from the start of the resource data;
// else an integer id. OffsetToData: with kResourceHighBit set, the offset of
// a subdirectory; else the offset of a ResourceDataEntry.
struct ResourceDirectoryEntry {
  uint32_t Name;
  uint32_t OffsetToData;
};

constexpr uint32_t kResourceHighBit = 0x80000000u;

// The leaf: where the resource's bytes are. OffsetToData is an address in
// the loaded image (RVA), not an offset into the resource data.
struct ResourceDataEntry {
  uint32_t OffsetToData;
  uint32_t Size;
  uint32_t CodePage;
  uint32_t Reserved;
};

static_assert(sizeof(CoffFileHeader) == 20);
static_assert(offsetof(CoffFileHeader, PointerToSymbolTable) == 8);
static_assert(offsetof(CoffFileHeader, SizeOfOptionalHeader) == 16);
static_assert(sizeof(DataDirectory) == 8);
static_assert(sizeof(SectionHeader) == 40);
static_assert(offsetof(SectionHeader, PointerToRawData) == 20);
static_assert(offsetof(SectionHeader, Characteristics) == 36);
static_assert(sizeof(DebugDirectoryEntry) == 28);
static_assert(offsetof(DebugDirectoryEntry, PointerToRawData) == 24);
static_assert(sizeof(ResourceDirectory) == 16);
static_assert(offsetof(ResourceDirectory, NumberOfNamedEntries) == 12);
static_assert(sizeof(ResourceDirectoryEntry) == 8);
static_assert(sizeof(ResourceDataEntry) == 16);

#endif
