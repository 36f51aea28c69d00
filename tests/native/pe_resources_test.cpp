// The PE resource reader and writer behind `fa2 embed`: on a real linked DLL
// and on small images built here, including damaged ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <stdexcept>

#include "archive/payload_digest.h"
#include "fa2/pe/pe_branding.h"
#include "fa2/pe/pe_load_config.h"
#include "fa2/pe/pe_resources.h"
#include "pe_test_image.h"

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

std::vector<uint8_t> Bytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> v(size);
  for (auto& b : v) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  return v;
}

// Built by appending: GCC 12 warns wrongly about "#" + std::to_string().
std::string IdText(uint32_t id) {
  std::string s = "#";
  s.append(std::to_string(id));
  return s;
}

std::string KeyText(const ResourceKey& k) {
  if (!k.IsNamed) return IdText(k.Id);
  std::string s;
  for (char16_t c : k.Name) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

struct FlatResource {
  std::string Type, Name;
  uint32_t Language, CodePage;
  std::vector<uint8_t> Data;
  bool operator==(const FlatResource&) const = default;
};

std::vector<FlatResource> Flatten(const std::vector<uint8_t>& file) {
  PeImage image;
  ResourceTree tree;
  std::string error;
  std::vector<FlatResource> flat;
  if (!ParsePeImage(file.data(), file.size(), &image, &error) ||
      !ReadResourceTree(image, &tree, &error)) {
    ADD_FAILURE() << "cannot read the resources back: " << error;
    return flat;
  }
  for (const auto& t : tree.Types)
    for (const auto& n : t.Names)
      for (const auto& l : n.Languages)
        flat.push_back({KeyText(t.Key), KeyText(n.Key), l.Language, l.CodePage,
                        std::vector<uint8_t>(l.Data, l.Data + l.Size)});
  return flat;
}

// Leaves out the payload and its digest record.
std::vector<FlatResource> WithoutPayload(std::vector<FlatResource> flat) {
  std::erase_if(flat, [](const FlatResource& r) {
    return r.Type == "UPDATE" && (r.Name == "#102" || r.Name == "#103");
  });
  return flat;
}

// The checksum computed another way: all words summed in 64 bits first,
// folded at the end.
uint32_t ReferenceChecksum(const std::vector<uint8_t>& f, size_t checksumAt) {
  uint64_t sum = 0;
  for (size_t i = 0; i < f.size(); i++) {
    if (i >= checksumAt && i < checksumAt + 4) continue;
    sum += i % 2 ? uint64_t{f[i]} << 8 : f[i];
  }
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + f.size());
}

// Throws on failure, so that the test stops there (gtest reports it).
std::vector<uint8_t> Embed(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> out;
  std::string error;
  if (!EmbedUpdatePayload(stub.data(), stub.size(), payload.data(), payload.size(), &out, &error))
    throw std::runtime_error("embed failed: " + error);
  return out;
}

// Checks what the loader and the image checkers look at: the checksum,
// sections aligned and packed in memory, SizeOfImage, and the resource
// directory naming the section that holds the payload; and that the
// payload reads back, with its digest record beside it.
void ExpectSoundUpdater(const std::vector<uint8_t>& f, const std::vector<uint8_t>& payload) {
  PeImage image;
  std::string error;
  ASSERT_EQ(ParsePeImage(f.data(), f.size(), &image, &error), 1) << error;
  size_t checksumAt = image.OptionalHeaderOffset + kOptCheckSum;
  EXPECT_EQ(TestGet32(f, checksumAt), ReferenceChecksum(f, checksumAt));
  uint32_t expectedRva = image.Sections.front().VirtualAddress;
  for (const SectionHeader& s : image.Sections) {
    EXPECT_EQ(s.VirtualAddress, expectedRva) << std::string(s.Name, 8);
    EXPECT_EQ(s.PointerToRawData % image.FileAlignment, 0u);
    EXPECT_EQ(s.SizeOfRawData % image.FileAlignment, 0u);
    uint32_t size = s.VirtualSize ? s.VirtualSize : s.SizeOfRawData;
    expectedRva += static_cast<uint32_t>(AlignUp(size, image.SectionAlignment));
  }
  EXPECT_EQ(image.SizeOfImage, expectedRva);
  const SectionHeader& last = image.Sections.back();
  DataDirectory res = GetDataDirectory(image, kDirectoryResource);
  EXPECT_EQ(res.VirtualAddress, last.VirtualAddress);
  EXPECT_EQ(res.Size, last.VirtualSize);
  // On a page boundary of the file, so that the loader can map the payload
  // instead of reading it into the process's own memory.
  EXPECT_EQ(last.PointerToRawData % 4096, 0u);
  size_t at = 0, length = 0;
  ASSERT_EQ(FindUpdatePayload(f.data(), f.size(), &at, &length, &error), 1) << error;
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + at, f.begin() + at + length), payload);
  ResourceTree tree;
  ASSERT_EQ(ReadResourceTree(image, &tree, &error), 1) << error;
  const ResourceLeaf* record = FindResource(tree, ResourceKey{1, u"UPDATE", 0},
                                            ResourceKey{0, u"", kPayloadDigestResourceId});
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->Language, kPayloadResourceLanguage);
  EXPECT_EQ(CheckPayloadDigest(record->Data, record->Size, payload.data(), payload.size()),
            kDigestMatches);
}

// The leaves' bytes live in these buffers while a tree refers to them.
const std::vector<uint8_t> kDialog = Bytes(300, 1), kDialogEnglish = Bytes(290, 2),
                           kManifest = Bytes(700, 3), kNamed = Bytes(45, 4), kLast = Bytes(9, 5),
                           kOldPayload = Bytes(1000, 6), kOldPayloadEnglish = Bytes(20, 7),
                           kSibling = Bytes(33, 8), kOldDigest = Bytes(28, 9);

ResourceKey Id(uint32_t id) { return ResourceKey{0, u"", id}; }
ResourceKey Named(const std::u16string& name) { return ResourceKey{1, name, 0}; }

void AddLeaf(ResourceTree* tree, const ResourceKey& type, const ResourceKey& name,
             uint32_t language, const std::vector<uint8_t>& data) {
  for (auto& t : tree->Types) {
    if (t.Key.IsNamed != type.IsNamed || t.Key.Name != type.Name || t.Key.Id != type.Id) continue;
    for (auto& n : t.Names) {
      if (n.Key.IsNamed != name.IsNamed || n.Key.Name != name.Name || n.Key.Id != name.Id) continue;
      n.Languages.push_back({language, 932, 0, data.data(), static_cast<uint32_t>(data.size())});
      return;
    }
    t.Names.push_back({name, {}, {{language, 932, 0, data.data(), static_cast<uint32_t>(data.size())}}});
    return;
  }
  tree->Types.push_back({type, {}, {{name, {}, {{language, 932, 0, data.data(),
                                                  static_cast<uint32_t>(data.size())}}}}});
}

// Dialogs in two languages, a manifest, named types around "UPDATE" and ids
// around 102, in the order a linker writes them.
ResourceTree SampleTree(int withOldPayload) {
  ResourceTree tree{};
  AddLeaf(&tree, Named(u"AAA"), Named(u"FIRST"), 1041, kNamed);
  if (withOldPayload) {
    AddLeaf(&tree, Named(u"UPDATE"), Id(102), 1033, kOldPayloadEnglish);
    AddLeaf(&tree, Named(u"UPDATE"), Id(102), 1041, kOldPayload);
    AddLeaf(&tree, Named(u"UPDATE"), Id(103), 1041, kOldDigest);
    AddLeaf(&tree, Named(u"UPDATE"), Id(104), 1041, kSibling);
  }
  AddLeaf(&tree, Named(u"ZZZ"), Id(1), 0, kLast);
  AddLeaf(&tree, Id(5), Id(100), 1033, kDialogEnglish);
  AddLeaf(&tree, Id(5), Id(100), 1041, kDialog);
  AddLeaf(&tree, Id(5), Id(200), 1041, kDialog);
  AddLeaf(&tree, Id(24), Id(1), 1033, kManifest);
  AddLeaf(&tree, Id(1000), Id(1), 1033, kLast);
  AddLeaf(&tree, Id(1000), Id(101), 1033, kLast);
  AddLeaf(&tree, Id(1000), Id(200), 1033, kLast);
  return tree;
}

// An image with code, the resources at rsrcIndex (or none when the tree is
// null) and further sections.
TestPe SampleImage(int pe32Plus, const ResourceTree* tree, size_t sectionsAfter) {
  TestPe pe;
  pe.Pe32Plus = pe32Plus;
  pe.Sections.push_back({".text", Bytes(0x480, 9), 0, 0x60000020});
  if (tree) {
    pe.Sections.push_back({".rsrc", {}, 0, 0xC0000040});
    uint32_t rva = TestSectionRva(pe, 1);
    std::string error;
    EXPECT_EQ(BuildResourceData(*tree, rva, &pe.Sections.back().Data, &error), 1) << error;
    pe.Directories[kDirectoryResource] = {rva,
                                          static_cast<uint32_t>(pe.Sections.back().Data.size())};
  }
  for (size_t i = 0; i < sectionsAfter; i++) {
    pe.Sections.push_back({".reloc", Bytes(0x30, 10), 0x2100, 0x42000040});
    pe.Directories[5] = {TestSectionRva(pe, pe.Sections.size() - 1), 0x30};
  }
  return pe;
}

TEST(PeChecksum, FoldsCarriesSkipsItsFieldAndAddsTheLength) {
  // 0xFFFF + 0xFFFF = 0x1FFFE folds to 0xFFFF; + 0x0001 folds to 0x0001;
  // the field at 6..9 counts as zero; + the length 10.
  std::vector<uint8_t> f = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0xAA, 0xBB, 0xCC, 0xDD};
  EXPECT_EQ(ComputePeChecksum(f.data(), f.size(), 6), 1u + 10u);
  // An odd last byte is a word of its own, its high byte zero.
  std::vector<uint8_t> g = {0x34, 0x12, 0x00, 0x00, 0x00, 0x00, 0x05};
  EXPECT_EQ(ComputePeChecksum(g.data(), g.size(), 2), 0x1239u + 7u);
  for (size_t size : {1u, 2u, 999u, 4096u, 70001u})
    for (size_t at : {0u, 1u, 64u, 777u}) {
      if (at + 4 > size) continue;
      std::vector<uint8_t> r = Bytes(size, static_cast<uint32_t>(size + at));
      EXPECT_EQ(ComputePeChecksum(r.data(), r.size(), at), ReferenceChecksum(r, at))
          << size << " " << at;
    }
}

TEST(PeResources, ReadsTheTreeOfARealDll) {
  std::vector<uint8_t> dll = ReadWholeFile(CORPUS_DIR "/program.dll");
  ASSERT_FALSE(dll.empty());
  std::vector<FlatResource> flat = Flatten(dll);
  ASSERT_GT(flat.size(), 400u);
  // The version resource starts with its length and the key VS_VERSION_INFO.
  auto version = std::find_if(flat.begin(), flat.end(),
                              [](const FlatResource& r) { return r.Type == "#16"; });
  ASSERT_NE(version, flat.end());
  EXPECT_EQ(TestGet16(version->Data, 0), version->Data.size());
  const char16_t key[] = u"VS_VERSION_INFO";
  EXPECT_EQ(std::memcmp(version->Data.data() + 6, key, sizeof key), 0);
  // Every icon that an icon group names is there as an icon resource.
  int groupsChecked = 0;
  for (const FlatResource& group : flat) {
    if (group.Type != "#14") continue;
    uint16_t count = TestGet16(group.Data, 4);
    ASSERT_EQ(group.Data.size(), 6u + 14u * count);
    for (uint16_t i = 0; i < count; i++) {
      std::string icon = IdText(TestGet16(group.Data, 6 + 14 * i + 12));
      EXPECT_TRUE(std::any_of(flat.begin(), flat.end(), [&](const FlatResource& r) {
        return r.Type == "#3" && r.Name == icon;
      })) << icon;
    }
    groupsChecked++;
  }
  EXPECT_GT(groupsChecked, 0);
  size_t at, length;
  std::string error;
  EXPECT_EQ(FindUpdatePayload(dll.data(), dll.size(), &at, &length, &error), 0);
  EXPECT_NE(error.find("no payload"), std::string::npos) << error;
}

// The DLL's resource section is followed by others and by its COFF symbols:
// the first embed adds a section after them, the second rebuilds that one.
TEST(PeEmbed, RealDllGetsANewSectionThenItIsRebuiltInPlace) {
  std::vector<uint8_t> dll = ReadWholeFile(CORPUS_DIR "/program.dll");
  ASSERT_FALSE(dll.empty());
  PeImage before;
  std::string error;
  ASSERT_EQ(ParsePeImage(dll.data(), dll.size(), &before, &error), 1) << error;
  ASSERT_NE(before.FileHeader.PointerToSymbolTable, 0u);
  std::vector<FlatResource> original = Flatten(dll);

  std::vector<uint8_t> payload = Bytes(300001, 11);
  std::vector<uint8_t> once = Embed(dll, payload);
  ExpectSoundUpdater(once, payload);
  EXPECT_EQ(WithoutPayload(Flatten(once)), original);
  PeImage after;
  ASSERT_EQ(ParsePeImage(once.data(), once.size(), &after, &error), 1) << error;
  ASSERT_EQ(after.Sections.size(), before.Sections.size() + 1);
  EXPECT_EQ(std::string(after.Sections.back().Name, 6), std::string(".rsrc\0", 6));
  // The old sections' bytes are untouched and the symbols moved whole.
  for (const SectionHeader& s : before.Sections)
    EXPECT_TRUE(std::equal(dll.begin() + s.PointerToRawData,
                           dll.begin() + s.PointerToRawData + s.SizeOfRawData,
                           once.begin() + s.PointerToRawData));
  size_t tail = dll.size() - before.ImageDataEnd;
  EXPECT_TRUE(std::equal(dll.end() - tail, dll.end(), once.end() - tail));
  EXPECT_EQ(after.FileHeader.PointerToSymbolTable, once.size() - (dll.size() -
                                                     before.FileHeader.PointerToSymbolTable));
  EXPECT_EQ(TestGet32(once, after.OptionalHeaderOffset + kOptSizeOfInitializedData),
            before.SizeOfInitializedData + after.Sections.back().SizeOfRawData);

  // The second embed replaces the payload: one language, no duplicate.
  std::vector<uint8_t> second = Bytes(77, 12);
  std::vector<uint8_t> twice = Embed(once, second);
  ExpectSoundUpdater(twice, second);
  std::vector<FlatResource> flat = Flatten(twice);
  EXPECT_EQ(WithoutPayload(flat), original);
  EXPECT_EQ(flat.size(), original.size() + 2);
  PeImage again;
  ASSERT_EQ(ParsePeImage(twice.data(), twice.size(), &again, &error), 1) << error;
  EXPECT_EQ(again.Sections.size(), after.Sections.size());
  EXPECT_LT(twice.size(), once.size());
  EXPECT_TRUE(std::equal(dll.end() - tail, dll.end(), twice.end() - tail));
}

class PeEmbedVariants : public ::testing::TestWithParam<int> {};

TEST_P(PeEmbedVariants, KeepsEveryOtherResourceAndSortsThePayloadIn) {
  ResourceTree tree = SampleTree(0);
  std::vector<uint8_t> stub = BuildTestPe(SampleImage(GetParam(), &tree, 1));
  std::vector<uint8_t> payload = Bytes(5000, 13);
  std::vector<uint8_t> out = Embed(stub, payload);
  ExpectSoundUpdater(out, payload);
  std::vector<FlatResource> flat = Flatten(out);
  EXPECT_EQ(WithoutPayload(flat), Flatten(stub));
  // The loader finds entries by binary search: named types sorted, then ids.
  std::vector<std::string> types;
  for (const FlatResource& r : flat)
    if (types.empty() || types.back() != r.Type) types.push_back(r.Type);
  EXPECT_EQ(types, (std::vector<std::string>{"AAA", "UPDATE", "ZZZ", "#5", "#24", "#1000"}));
  auto leaf = std::find_if(flat.begin(), flat.end(),
                           [](const FlatResource& r) { return r.Type == "UPDATE"; });
  EXPECT_EQ(leaf->Name, "#102");
  EXPECT_EQ(leaf->Language, kPayloadResourceLanguage);
  // The PE32 and PE32+ headers put the directories at different places.
  PeImage image;
  std::string error;
  ASSERT_EQ(ParsePeImage(out.data(), out.size(), &image, &error), 1);
  EXPECT_EQ(image.IsPe32Plus, GetParam());
  EXPECT_EQ(image.DirectoryOffset, TestDirectoryOffset(GetParam()));
}

TEST_P(PeEmbedVariants, ReplacesEveryLanguageOfThePayloadAndKeepsItsSiblings) {
  ResourceTree tree = SampleTree(1);
  std::vector<uint8_t> stub = BuildTestPe(SampleImage(GetParam(), &tree, 1));
  std::vector<uint8_t> payload = Bytes(64, 14);
  std::vector<uint8_t> out = Embed(stub, payload);
  ExpectSoundUpdater(out, payload);
  std::vector<FlatResource> flat = Flatten(out);
  std::vector<FlatResource> expected = WithoutPayload(Flatten(stub));
  EXPECT_EQ(WithoutPayload(flat), expected);
  EXPECT_EQ(flat.size(), expected.size() + 2);
  EXPECT_TRUE(std::any_of(flat.begin(), flat.end(), [](const FlatResource& r) {
    return r.Type == "UPDATE" && r.Name == "#104" && r.Data == kSibling;
  }));

  // Without the digest, the stub's stale record goes too; the sibling stays.
  std::vector<uint8_t> bare;
  std::string error;
  ASSERT_EQ(EmbedUpdatePayload(stub.data(), stub.size(), payload.data(), payload.size(), &bare,
                               &error, nullptr, 0),
            1)
      << error;
  flat = Flatten(bare);
  EXPECT_EQ(WithoutPayload(flat), expected);
  EXPECT_EQ(flat.size(), expected.size() + 1);
  EXPECT_FALSE(std::any_of(flat.begin(), flat.end(),
                           [](const FlatResource& r) { return r.Name == "#103"; }));
}

TEST_P(PeEmbedVariants, SetsAZeroDependentLoadFlagOfTheLoadConfiguration) {
  const size_t field = GetParam() ? kLoadConfigDependentLoadFlagsPe32Plus
                                  : kLoadConfigDependentLoadFlagsPe32;
  struct Case {
    const char* what;
    uint32_t recordSize;
    uint16_t flags;
    bool directory;
    uint16_t expected;
  } cases[] = {
      {"flag 0", static_cast<uint32_t>(field + 2), 0, true, kLoadLibrarySearchSystem32},
      {"flags chosen by the image's makers", 0x70, 0x200, true, 0x200},
      {"a record too short for the field", static_cast<uint32_t>(field), 0, true, 0},
      {"no load configuration", 0x70, 0, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestPe pe;
    pe.Pe32Plus = GetParam();
    pe.Sections.push_back({".text", std::vector<uint8_t>(0x200, 0xC3), 0, 0x60000020});
    std::vector<uint8_t> rdata(0x200, 0);
    std::memcpy(&rdata[0x40], &c.recordSize, 4);
    std::memcpy(&rdata[0x40 + field], &c.flags, 2);
    pe.Sections.push_back({".rdata", rdata, 0, 0x40000040});
    const uint32_t recordRva = TestSectionRva(pe, 1) + 0x40;
    if (c.directory) pe.Directories[kDirectoryLoadConfig] = {recordRva, c.recordSize};
    std::vector<uint8_t> payload = Bytes(100, 18);
    std::vector<uint8_t> out = Embed(BuildTestPe(pe), payload);
    ExpectSoundUpdater(out, payload);
    PeImage image;
    std::string error;
    size_t at;
    ASSERT_EQ(ParsePeImage(out.data(), out.size(), &image, &error), 1) << error;
    ASSERT_EQ(MapRvaToFile(image, recordRva, 0x70, &at), 1);
    EXPECT_EQ(TestGet16(out, at + field), c.expected);
    EXPECT_EQ(TestGet32(out, at), c.recordSize);
  }
}

INSTANTIATE_TEST_SUITE_P(Pe32AndPe32Plus, PeEmbedVariants, ::testing::Values(0, 1));

// An .ico file of the given images, each record's size and offset computed.
std::vector<uint8_t> IcoFile(const std::vector<std::vector<uint8_t>>& images) {
  std::vector<uint8_t> f = {0, 0, 1, 0, static_cast<uint8_t>(images.size()), 0};
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (size_t i = 0; i < images.size(); i++) {
    uint8_t record[16] = {static_cast<uint8_t>(16 * (i + 1)), static_cast<uint8_t>(16 * (i + 1)),
                          0, 0, 0, 0, 0, 0};
    uint32_t size = static_cast<uint32_t>(images[i].size());
    std::memcpy(record + 8, &size, 4);
    std::memcpy(record + 12, &offset, 4);
    f.insert(f.end(), record, record + 16);
    offset += size;
  }
  for (const auto& image : images) f.insert(f.end(), image.begin(), image.end());
  return f;
}

std::vector<uint8_t> PngImage() {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> rest = Bytes(50, 20);
  png.insert(png.end(), rest.begin(), rest.end());
  return png;
}

// A BITMAPINFOHEADER of 32 bits a pixel, then pixels.
std::vector<uint8_t> BitmapImage() {
  std::vector<uint8_t> bmp = Bytes(40 + 64, 21);
  uint32_t headerSize = 40;
  uint16_t bits = 32;
  std::memcpy(bmp.data(), &headerSize, 4);
  std::memcpy(bmp.data() + 14, &bits, 2);
  return bmp;
}

// The nodes of a version resource, each checked to lie inside its parent:
// the text values by their key path ("StringFileInfo/041103a4/ProductName"),
// and the fixed version information's 13 words.
struct VersionTexts {
  std::map<std::u16string, std::u16string> Texts;
  std::vector<uint32_t> Fixed;
};

void WalkVersionNode(const std::vector<uint8_t>& v, size_t at, size_t end,
                     const std::u16string& parent, VersionTexts* out) {
  ASSERT_LE(at + 6, end);
  size_t length = TestGet16(v, at), valueLength = TestGet16(v, at + 2), type = TestGet16(v, at + 4);
  ASSERT_GE(length, 6u);
  ASSERT_LE(at + length, end) << "a node passes its parent's end";
  std::u16string key;
  size_t p = at + 6;
  for (; p + 2 <= at + length && TestGet16(v, p) != 0; p += 2) key += TestGet16(v, p);
  p = AlignUp(p + 2, 4);
  std::u16string path = parent.empty() ? key : parent + u"/" + key;
  if (type == 1 && valueLength) {
    std::u16string text;
    for (size_t i = 0; i + 1 < valueLength; i++) text += TestGet16(v, p + 2 * i);
    out->Texts[path] = text;
    p += 2 * valueLength;
  } else if (type == 0 && valueLength) {
    if (key == u"VS_VERSION_INFO")
      for (size_t i = 0; i < valueLength / 4; i++) out->Fixed.push_back(TestGet32(v, p + 4 * i));
    p += valueLength;
  }
  for (p = AlignUp(p, 4); p < at + length; p = AlignUp(p + TestGet16(v, p), 4))
    WalkVersionNode(v, p, at + length, path, out);
}

VersionTexts ReadVersion(const std::vector<uint8_t>& v) {
  VersionTexts out;
  WalkVersionNode(v, 0, v.size(), u"", &out);
  EXPECT_EQ(TestGet16(v, 0), v.size());
  return out;
}

// Branding replaces the stub's icons, its icon group (whose name and
// language stay) and its version resource (whose language stays), and
// keeps every other resource.
TEST(PeBranding, ReplacesIconsAndVersionAndKeepsTheRest) {
  ResourceTree tree = SampleTree(0);
  AddLeaf(&tree, Id(3), Id(1), 1041, kLast);
  AddLeaf(&tree, Id(3), Id(2), 1041, kLast);
  AddLeaf(&tree, Id(3), Id(3), 1041, kLast);
  AddLeaf(&tree, Id(14), Named(u"MAINICON"), 1041, kNamed);
  AddLeaf(&tree, Id(16), Id(1), 1033, kNamed);
  std::vector<uint8_t> stub = BuildTestPe(SampleImage(1, &tree, 1));
  std::vector<uint8_t> png = PngImage(), bmp = BitmapImage(), payload = Bytes(700, 22);
  UpdaterBranding branding;
  branding.Icon = IcoFile({png, bmp});
  // 星の庭 in CP932.
  branding.Version = {{"ProductName", "\x90\xaf\x82\xcc\x92\xeb"}, {"FileVersion", "1.02"},
                      {"CompanyName", "Maker"}};
  std::vector<uint8_t> out;
  std::string error;
  ASSERT_EQ(EmbedUpdatePayload(stub.data(), stub.size(), payload.data(), payload.size(), &out,
                               &error, &branding), 1) << error;
  ExpectSoundUpdater(out, payload);

  auto notBranding = [](const FlatResource& r) {
    return r.Type != "#3" && r.Type != "#14" && r.Type != "#16";
  };
  std::vector<FlatResource> kept, expected, branded;
  for (const FlatResource& r : WithoutPayload(Flatten(out)))
    (notBranding(r) ? kept : branded).push_back(r);
  for (const FlatResource& r : Flatten(stub))
    if (notBranding(r)) expected.push_back(r);
  EXPECT_EQ(kept, expected);
  ASSERT_EQ(branded.size(), 4u);
  EXPECT_EQ(branded[0].Type + branded[0].Name + branded[1].Type + branded[1].Name,
            "#3#1#3#2");
  EXPECT_EQ(branded[0].Data, png);
  EXPECT_EQ(branded[1].Data, bmp);
  const FlatResource& group = branded[2];
  EXPECT_EQ(group.Type + " " + group.Name, "#14 MAINICON");
  EXPECT_EQ(group.Language, 1041u);
  ASSERT_EQ(group.Data.size(), 6u + 2 * 14);
  EXPECT_EQ(TestGet16(group.Data, 4), 2u);
  for (uint16_t i = 0; i < 2; i++) {
    EXPECT_EQ(group.Data[6 + 14 * i], 16 * (i + 1));             // width
    EXPECT_EQ(TestGet16(group.Data, 6 + 14 * i + 4), 1u);        // planes
    EXPECT_EQ(TestGet16(group.Data, 6 + 14 * i + 6), 32u);       // bits
    EXPECT_EQ(TestGet32(group.Data, 6 + 14 * i + 8), branded[i].Data.size());
    EXPECT_EQ(TestGet16(group.Data, 6 + 14 * i + 12), i + 1u);   // icon id
  }
  EXPECT_EQ(branded[3].Type + branded[3].Name, "#16#1");
  EXPECT_EQ(branded[3].Language, 1033u);
  VersionTexts version = ReadVersion(branded[3].Data);
  EXPECT_EQ(version.Texts, (std::map<std::u16string, std::u16string>{
                               {u"VS_VERSION_INFO/StringFileInfo/041103a4/CompanyName", u"Maker"},
                               {u"VS_VERSION_INFO/StringFileInfo/041103a4/FileVersion", u"1.02"},
                               {u"VS_VERSION_INFO/StringFileInfo/041103a4/ProductName",
                                u"\u661f\u306e\u5ead"}}));
  ASSERT_EQ(version.Fixed.size(), 13u);
  EXPECT_EQ(version.Fixed[0], 0xFEEF04BDu);
  EXPECT_EQ(version.Fixed[2], 0x00010002u);  // 1.02 is 1.2.0.0
  EXPECT_EQ(version.Fixed[3], 0u);
}

// What a publisher can get wrong: icon files that are not ones, version
// fields that are not allowed, and version texts that are numeric or not.
TEST(PeBranding, RefusesBadIconsAndFieldsAndReadsNumericVersions) {
  std::vector<uint8_t> good = IcoFile({PngImage()});
  std::vector<uint8_t> outside = good, overflow = good, notImage = good, cursor = good;
  outside[6 + 8] += 1;                                     // one byte past the end
  uint32_t huge = 0xFFFFFFF0u;
  std::memcpy(overflow.data() + 6 + 12, &huge, 4);         // offset + size wraps
  notImage[6 + 16] = 'X';                                  // neither PNG nor bitmap
  cursor[2] = 2;                                           // a cursor file
  struct BadIcon {
    std::vector<uint8_t> file;
    const char* reason;
  } icons[] = {{{}, "not an icon file"},        {cursor, "not an icon file"},
               {{0, 0, 1, 0, 0, 0}, "no image"}, {{0, 0, 1, 0, 2, 0, 1}, "cut short"},
               {outside, "outside the file"},  {overflow, "outside the file"},
               {notImage, "neither a bitmap nor a PNG"}};
  std::vector<uint8_t> group;
  std::string error;
  EXPECT_EQ(BuildIconGroup(good.data(), good.size(), 1, &group, &error), 1) << error;
  for (const BadIcon& bad : icons) {
    error.clear();
    EXPECT_EQ(BuildIconGroup(bad.file.data(), bad.file.size(), 1, &group, &error), 0);
    EXPECT_NE(error.find(bad.reason), std::string::npos) << error;
  }

  VersionField field;
  for (const char* wrong : {"FileVersion", "Version=1", "FileVersion=", "ProductName=\x81"}) {
    error.clear();
    EXPECT_EQ(ParseVersionField(wrong, &field, &error), 0) << wrong;
    EXPECT_FALSE(error.empty());
  }
  ASSERT_EQ(ParseVersionField("productname=A=B", &field, &error), 1) << error;
  EXPECT_EQ(field.Key + " " + field.Value, "ProductName A=B");
  std::vector<uint8_t> out;
  EXPECT_EQ(BuildVersionResource({field, field}, &out, &error), 0);
  EXPECT_NE(error.find("twice"), std::string::npos) << error;
  EXPECT_EQ(BuildVersionResource({{"ProductName", std::string(40000, 'x')}}, &out, &error), 0);

  struct Numeric {
    const char* text;
    uint32_t high, low;
  } numbers[] = {{"1.02", 0x00010002, 0},     {"1.2.3.4", 0x00010002, 0x00030004},
                 {"7", 0x00070000, 0},        {"65535.0.0.65535", 0xFFFF0000, 0xFFFF},
                 {"1.2 beta", 0, 0},          {"65536", 0, 0},
                 {"1.65536", 0, 0},
                 {"1..2", 0, 0},              {"1.2.3.4.5", 0, 0},
                 {".1", 0, 0},                {"1.", 0, 0}};
  for (const Numeric& n : numbers) {
    ASSERT_EQ(BuildVersionResource({{"ProductVersion", n.text}}, &out, &error), 1) << error;
    VersionTexts version = ReadVersion(out);
    ASSERT_EQ(version.Fixed.size(), 13u);
    EXPECT_EQ(version.Fixed[4], n.high) << n.text;
    EXPECT_EQ(version.Fixed[5], n.low) << n.text;
  }
}

TEST(PeEmbed, LastResourceSectionGrowsAndShrinksInPlace) {
  ResourceTree tree = SampleTree(1);
  std::vector<uint8_t> stub = BuildTestPe(SampleImage(1, &tree, 0));
  std::vector<uint8_t> big = Bytes(100000, 15), small = Bytes(10, 16);
  std::vector<uint8_t> grown = Embed(stub, big);
  ExpectSoundUpdater(grown, big);
  std::vector<uint8_t> shrunk = Embed(grown, small);
  ExpectSoundUpdater(shrunk, small);
  EXPECT_EQ(WithoutPayload(Flatten(shrunk)), WithoutPayload(Flatten(stub)));
  for (const auto* f : {&grown, &shrunk}) EXPECT_EQ(TestGet16(*f, kTestFileHeader + 2), 2);
  // Back to the stub's size, but for the page that the section now starts on.
  EXPECT_LT(shrunk.size(), stub.size() + 4096);
  EXPECT_LT(shrunk.size(), grown.size() - 90000);
}

TEST(PeEmbed, ImageWithoutResourcesGetsAResourceSection) {
  std::vector<uint8_t> stub = BuildTestPe(SampleImage(1, nullptr, 1));
  std::vector<uint8_t> payload = Bytes(3, 17);
  std::vector<uint8_t> out = Embed(stub, payload);
  ExpectSoundUpdater(out, payload);
  EXPECT_EQ(Flatten(out).size(), 2u);
  // Without any section and with SizeOfImage 0, the new section still goes
  // after the headers.
  std::vector<uint8_t> bare = BuildTestPe(TestPe{});
  TestPut32(bare, kTestOptionalHeader + kOptSizeOfImage, 0);
  ExpectSoundUpdater(Embed(bare, payload), payload);
}

// COFF symbols and appended data after the image move behind the new
// section, and the file offsets that point at them move with them.
TEST(PeEmbed, TailAndTheOffsetsIntoItMoveTogether) {
  ResourceTree tree = SampleTree(0);
  TestPe pe = SampleImage(1, &tree, 1);
  pe.Tail = Bytes(1234, 18);
  pe.SymbolsInTail = 1;
  // A debug directory in .text whose one entry points into the tail.
  DebugDirectoryEntry debug{};
  debug.SizeOfData = 100;
  std::vector<uint8_t> stubNoDebug = BuildTestPe(pe);
  debug.PointerToRawData = static_cast<uint32_t>(stubNoDebug.size() - pe.Tail.size() + 200);
  std::memcpy(pe.Sections[0].Data.data() + 0x100, &debug, sizeof debug);
  pe.Directories[kDirectoryDebug] = {TestSectionRva(pe, 0) + 0x100, sizeof debug};
  std::vector<uint8_t> stub = BuildTestPe(pe);

  std::vector<uint8_t> payload = Bytes(4000, 19);
  std::vector<uint8_t> out = Embed(stub, payload);
  ExpectSoundUpdater(out, payload);
  size_t newTail = out.size() - pe.Tail.size();
  EXPECT_TRUE(std::equal(pe.Tail.begin(), pe.Tail.end(), out.begin() + newTail));
  EXPECT_EQ(TestGet32(out, kTestFileHeader + 8), newTail);
  PeImage image;
  std::string error;
  ASSERT_EQ(ParsePeImage(out.data(), out.size(), &image, &error), 1);
  size_t debugAt;
  ASSERT_EQ(MapRvaToFile(image, TestSectionRva(pe, 0) + 0x100, sizeof debug, &debugAt), 1);
  EXPECT_EQ(TestGet32(out, debugAt + 24), newTail + 200);
  // Embedding again (in place now) moves them back and forth consistently.
  std::vector<uint8_t> again = Embed(out, Bytes(5, 20));
  size_t againTail = again.size() - pe.Tail.size();
  EXPECT_TRUE(std::equal(pe.Tail.begin(), pe.Tail.end(), again.begin() + againTail));
  EXPECT_EQ(TestGet32(again, kTestFileHeader + 8), againTail);
  EXPECT_EQ(TestGet32(again, debugAt + 24), againTail + 200);
}

std::string EmbedError(const std::vector<uint8_t>& stub) {
  std::vector<uint8_t> out, payload = Bytes(40, 21);
  std::string error;
  EXPECT_EQ(EmbedUpdatePayload(stub.data(), stub.size(), payload.data(), payload.size(), &out,
                               &error),
            0);
  EXPECT_FALSE(error.empty());
  return error;
}

TEST(PeEmbed, RefusesSignedStubsAndFullHeaders) {
  ResourceTree tree = SampleTree(0);
  TestPe pe = SampleImage(1, &tree, 1);
  pe.Directories[kDirectorySecurity] = {0x2000, 0x100};
  EXPECT_NE(EmbedError(BuildTestPe(pe)).find("signed"), std::string::npos);

  pe.Directories[kDirectorySecurity] = {};
  std::vector<uint8_t> stub = BuildTestPe(pe);
  stub[TestSectionTable(1) + 40 * 3 + 5] = 1;  // something lives after the table
  EXPECT_NE(EmbedError(stub).find("no room"), std::string::npos);

  std::vector<uint8_t> payload;
  std::vector<uint8_t> out;
  std::string error;
  stub = BuildTestPe(pe);
  EXPECT_EQ(EmbedUpdatePayload(stub.data(), stub.size(), payload.data(), 0, &out, &error), 0);
  EXPECT_NE(error.find("empty"), std::string::npos);

  // An updater that reaches the image limit is never made, whether the
  // payload alone reaches it or only the finished file does; one byte below
  // it is.
  payload = Bytes(4000, 22);
  ASSERT_EQ(EmbedUpdatePayload(stub.data(), stub.size(), payload.data(), payload.size(), &out,
                               &error),
            1);
  const uint64_t fits = std::max<uint64_t>(out.size(), TestGet32(out, kTestOptionalHeader + 56));
  for (uint64_t limit : {uint64_t{4000}, fits}) {
    SCOPED_TRACE(limit);
    out.clear();
    error.clear();
    EXPECT_EQ(EmbedUpdatePayload(stub.data(), stub.size(), payload.data(), payload.size(), &out,
                                 &error, nullptr, 1, limit),
              0);
    EXPECT_TRUE(out.empty());
    EXPECT_NE(error.find("Windows starts no program"), std::string::npos) << error;
    EXPECT_NE(error.find("--from"), std::string::npos) << error;
    EXPECT_NE(error.find("--level"), std::string::npos) << error;
  }
  EXPECT_EQ(EmbedUpdatePayload(stub.data(), stub.size(), payload.data(), payload.size(), &out,
                               &error, nullptr, 1, fits + 1),
            1);
}

// Offsets inside a file built from SampleImage(1, SampleTree(0), 1): the
// resource root, the directory that the first type entry leads to (its
// names), the one that its first name leads to (its languages), and the
// first language entry with its data entry.
struct TreeSpots {
  size_t Root, NameDirectory, LanguageDirectory, LanguageEntry, DataEntry;
};

TreeSpots FindSpots(const std::vector<uint8_t>& f) {
  TreeSpots s{};
  s.Root = TestGet32(f, TestSectionTable(1) + 40 + 20);
  s.NameDirectory = s.Root + (TestGet32(f, s.Root + 20) & 0x7FFFFFFF);
  s.LanguageDirectory = s.Root + (TestGet32(f, s.NameDirectory + 20) & 0x7FFFFFFF);
  s.LanguageEntry = s.LanguageDirectory + 16;
  s.DataEntry = s.Root + TestGet32(f, s.LanguageEntry + 4);
  return s;
}

TEST(PeMalformed, EveryTruncationIsRefused) {
  ResourceTree tree = SampleTree(1);
  std::vector<uint8_t> stub = BuildTestPe(SampleImage(0, &tree, 1));
  for (size_t size = 0; size < stub.size(); size++) {
    std::vector<uint8_t> cut(stub.begin(), stub.begin() + size);
    std::vector<uint8_t> out, payload = Bytes(40, 22);
    std::string error;
    size_t at, length;
    ASSERT_EQ(FindUpdatePayload(cut.data(), cut.size(), &at, &length, &error), 0) << size;
    ASSERT_FALSE(error.empty());
    ASSERT_EQ(EmbedUpdatePayload(cut.data(), cut.size(), payload.data(), payload.size(), &out,
                                 &error),
              0)
        << size;
  }
}

TEST(PeMalformed, DamagedHeadersAndTreesAreRefusedWithTheReason) {
  ResourceTree tree = SampleTree(0);
  const std::vector<uint8_t> stub = BuildTestPe(SampleImage(1, &tree, 1));
  const TreeSpots s = FindSpots(stub);
  const size_t opt = kTestOptionalHeader, table = TestSectionTable(1);
  const size_t rsrcHeader = table + 40;
  using Damage = std::function<void(std::vector<uint8_t>&)>;
  const std::vector<std::pair<std::string, Damage>> cases = {
      {"beyond the end", [](auto& f) { TestPut32(f, kDosNewHeaderField, 0xFFFFFFF0); }},
      {"no PE signature", [](auto& f) { f[kTestPeOffset + 1] = 'X'; }},
      {"neither PE32", [=](auto& f) { TestPut16(f, opt, 0x107); }},
      {"data directories", [=](auto& f) { TestPut32(f, opt + 108, 0x10000000); }},
      {"section table", [](auto& f) { TestPut16(f, kTestFileHeader + 2, 0xFFFF); }},
      {"alignment", [=](auto& f) { TestPut32(f, opt + 36, 0x300); }},
      {"beyond the end of the file", [=](auto& f) { TestPut32(f, rsrcHeader + 20, 0xFFFFFF00); }},
      {"out of order", [=](auto& f) { TestPut32(f, rsrcHeader + 12, 0x1000); }},
      {"outside the image",
       [=](auto& f) { TestPut32(f, TestDirectoryOffset(1) + 16, 0x7FFF0000); }},
      {"loop", [=](auto& f) { TestPut32(f, s.Root + 20, 0x80000000); }},
      {"loop",
       [=](auto& f) { TestPut32(f, s.NameDirectory + 20, 0x80000000 | (s.NameDirectory - s.Root)); }},
      {"deeper", [=](auto& f) { TestPut32(f, s.LanguageEntry + 4, 0x80000000); }},
      {"shallower", [=](auto& f) { TestPut32(f, s.Root + 20, s.DataEntry - s.Root); }},
      {"outside the image", [=](auto& f) { TestPut32(f, s.DataEntry, 0x00100000); }},
      {"outside the image", [=](auto& f) { TestPut32(f, s.DataEntry + 4, 0x7FFFFFFF); }},
      {"outside the image", [=](auto& f) { TestPut32(f, s.Root + 20, 0x8FFFFFF0); }},
      {"name lies outside", [=](auto& f) { TestPut32(f, s.Root + 16, 0x80FFFFF0); }},
      {"name lies outside",
       [=](auto& f) { TestPut16(f, s.Root + (TestGet32(f, s.Root + 16) & 0xFFFF), 0xFFFF); }},
      {"counts", [=](auto& f) { TestPut16(f, s.Root + 12, 0); }},
      {"entries lie outside", [=](auto& f) { TestPut16(f, s.Root + 14, 0xFFFF); }},
      {"given as a string",
       [=](auto& f) {
         TestPut32(f, s.LanguageEntry, 0x80000000);
         TestPut16(f, s.LanguageDirectory + 12, 1);
         TestPut16(f, s.LanguageDirectory + 14, 0);
       }},
  };
  for (const auto& [reason, damage] : cases) {
    std::vector<uint8_t> f = stub;
    damage(f);
    EXPECT_NE(EmbedError(f).find(reason), std::string::npos) << reason << ": " << EmbedError(f);
    size_t at, length;
    std::string error;
    EXPECT_EQ(FindUpdatePayload(f.data(), f.size(), &at, &length, &error), 0) << reason;
  }
}

// Leaves that share one data entry, or many data entries over the same
// bytes, would be copied once each: refused before anything is copied.
TEST(PeMalformed, SharedLeavesAreRefused) {
  ResourceTree tree{};
  std::vector<uint8_t> big = Bytes(0x3000, 23), tiny = Bytes(1, 24);
  for (uint32_t id = 1; id <= 6; id++) AddLeaf(&tree, Id(10), Id(id), 0, id == 1 ? big : tiny);
  std::vector<uint8_t> stub = BuildTestPe(SampleImage(1, &tree, 1));
  const size_t root = TestGet32(stub, TestSectionTable(1) + 40 + 20);
  const size_t names = root + (TestGet32(stub, root + 20) & 0x7FFFFFFF);
  auto languageEntry = [&](int i) {
    return root + (TestGet32(stub, names + 16 + 8 * i + 4) & 0x7FFFFFFF) + 16;
  };
  std::vector<uint8_t> f = stub;
  TestPut32(f, languageEntry(1) + 4, TestGet32(f, languageEntry(0) + 4));
  EXPECT_NE(EmbedError(f).find("reached twice"), std::string::npos);

  // Six data entries over the one big leaf add up to more than the file.
  f = stub;
  uint32_t firstData = TestGet32(f, root + TestGet32(f, languageEntry(0) + 4));
  for (int i = 0; i < 6; i++) {
    size_t entry = root + TestGet32(f, languageEntry(i) + 4);
    TestPut32(f, entry, firstData);
    TestPut32(f, entry + 4, 0x3000);
  }
  ASSERT_LT(f.size(), 6u * 0x3000);
  EXPECT_NE(EmbedError(f).find("overlap"), std::string::npos);
}

}  // namespace
