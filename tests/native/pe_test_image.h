// Builds small PE files in memory for the resource writer's tests: headers,
// a section table, the sections' data and an optional tail after them.
// Written independently of the writer's own layout code, so that the tests
// can also produce damaged files by changing single fields.
#ifndef TESTS_NATIVE_PE_TEST_IMAGE_H
#define TESTS_NATIVE_PE_TEST_IMAGE_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fa2/pe/pe_format.h"

struct TestSection {
  std::string Name;
  std::vector<uint8_t> Data;
  uint32_t VirtualSize;  // 0: the data's size
  uint32_t Characteristics;
};

struct TestPe {
  int Pe32Plus = 1;
  uint32_t SectionAlignment = 0x1000;
  uint32_t FileAlignment = 0x200;
  std::vector<TestSection> Sections;
  DataDirectory Directories[16] = {};
  std::vector<uint8_t> Tail;     // bytes after the last section's data
  int SymbolsInTail = 0;         // PointerToSymbolTable points at Tail
};

// Positions in a file made by BuildTestPe.
constexpr size_t kTestPeOffset = 0x80;
constexpr size_t kTestFileHeader = kTestPeOffset + 4;
constexpr size_t kTestOptionalHeader = kTestFileHeader + 20;

inline size_t TestOptionalSize(int pe32Plus) { return pe32Plus ? 240 : 224; }
inline size_t TestDirectoryOffset(int pe32Plus) {
  return kTestOptionalHeader + (pe32Plus ? 112 : 96);
}
inline size_t TestSectionTable(int pe32Plus) {
  return kTestOptionalHeader + TestOptionalSize(pe32Plus);
}

inline uint32_t TestAlign(uint64_t v, uint32_t a) { return static_cast<uint32_t>((v + a - 1) / a * a); }

// The address that section i gets: sections follow each other from 0x1000.
inline uint32_t TestSectionRva(const TestPe& pe, size_t i) {
  uint32_t rva = pe.SectionAlignment;
  for (size_t k = 0; k < i; k++) {
    const TestSection& s = pe.Sections[k];
    uint32_t size = s.VirtualSize ? s.VirtualSize : static_cast<uint32_t>(s.Data.size());
    rva += TestAlign(size ? size : 1, pe.SectionAlignment);
  }
  return rva;
}

inline void TestPut32(std::vector<uint8_t>& f, size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); }
inline void TestPut16(std::vector<uint8_t>& f, size_t at, uint16_t v) { std::memcpy(&f[at], &v, 2); }
inline uint32_t TestGet32(const std::vector<uint8_t>& f, size_t at) {
  uint32_t v;
  std::memcpy(&v, &f[at], 4);
  return v;
}
inline uint16_t TestGet16(const std::vector<uint8_t>& f, size_t at) {
  uint16_t v;
  std::memcpy(&v, &f[at], 2);
  return v;
}

inline std::vector<uint8_t> BuildTestPe(const TestPe& pe) {
  size_t table = TestSectionTable(pe.Pe32Plus);
  // Room for one more section header, as linkers leave.
  uint32_t headers = TestAlign(table + 40 * (pe.Sections.size() + 1), pe.FileAlignment);
  std::vector<uint8_t> f(headers, 0);
  TestPut16(f, 0, kDosMagic);
  TestPut32(f, kDosNewHeaderField, kTestPeOffset);
  TestPut32(f, kTestPeOffset, kPeSignature);
  TestPut16(f, kTestFileHeader, pe.Pe32Plus ? 0x8664 : 0x14C);
  TestPut16(f, kTestFileHeader + 2, static_cast<uint16_t>(pe.Sections.size()));
  TestPut16(f, kTestFileHeader + 16, static_cast<uint16_t>(TestOptionalSize(pe.Pe32Plus)));
  TestPut16(f, kTestFileHeader + 18, pe.Pe32Plus ? 0x22 : 0x102);
  size_t o = kTestOptionalHeader;
  TestPut16(f, o, pe.Pe32Plus ? kOptionalMagicPe32Plus : kOptionalMagicPe32);
  TestPut32(f, o + 16, pe.SectionAlignment);  // entry point: the first section
  TestPut32(f, o + 32, pe.SectionAlignment);
  TestPut32(f, o + 36, pe.FileAlignment);
  TestPut32(f, o + 60, headers);
  TestPut16(f, o + 68, 2);  // GUI subsystem
  TestPut32(f, o + (pe.Pe32Plus ? 108 : 92), 16);
  for (int i = 0; i < 16; i++) {
    TestPut32(f, TestDirectoryOffset(pe.Pe32Plus) + 8 * i, pe.Directories[i].VirtualAddress);
    TestPut32(f, TestDirectoryOffset(pe.Pe32Plus) + 8 * i + 4, pe.Directories[i].Size);
  }
  uint32_t imageEnd = pe.SectionAlignment;
  for (size_t i = 0; i < pe.Sections.size(); i++) {
    const TestSection& s = pe.Sections[i];
    size_t h = table + 40 * i;
    std::memcpy(&f[h], s.Name.data(), s.Name.size() < 8 ? s.Name.size() : 8);
    uint32_t vsize = s.VirtualSize ? s.VirtualSize : static_cast<uint32_t>(s.Data.size());
    uint32_t raw = TestAlign(s.Data.size(), pe.FileAlignment);
    TestPut32(f, h + 8, vsize);
    TestPut32(f, h + 12, TestSectionRva(pe, i));
    TestPut32(f, h + 16, raw);
    TestPut32(f, h + 20, raw ? static_cast<uint32_t>(f.size()) : 0);
    TestPut32(f, h + 36, s.Characteristics);
    f.insert(f.end(), s.Data.begin(), s.Data.end());
    f.resize(f.size() + (raw - s.Data.size()), 0);
    imageEnd = TestSectionRva(pe, i) + TestAlign(vsize ? vsize : 1, pe.SectionAlignment);
  }
  TestPut32(f, o + 56, imageEnd);
  if (pe.SymbolsInTail) TestPut32(f, kTestFileHeader + 8, static_cast<uint32_t>(f.size()));
  f.insert(f.end(), pe.Tail.begin(), pe.Tail.end());
  return f;
}

#endif
