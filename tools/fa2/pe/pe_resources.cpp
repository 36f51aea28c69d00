// Reading, editing and writing the resource tree of a PE file.
#include "fa2/pe/pe_resources.h"

#include <cstring>
#include <set>

namespace {

int Fail(std::string* error, const char* reason) {
  if (error) *error = reason;
  return 0;
}

// The reader walks the tree with the image, the resource root's address and
// the set of structures already reached, so that a loop or a shared subtree
// is refused instead of being followed for ever or copied twice.
struct TreeReader {
  const PeImage* Image;
  uint32_t RootRva;
  std::set<uint32_t> Reached;
  uint64_t LeafBytes;
  uint64_t NameBytes;
  std::string* Error;
};

// Maps a structure of length bytes at offset from the resource root and
// marks it as reached.
int MapStructure(TreeReader* r, uint32_t offset, uint32_t length, size_t* fileOffset,
                 const char* what) {
  uint64_t rva = uint64_t{r->RootRva} + offset;
  if (rva + length > 0xFFFFFFFFu ||
      !MapRvaToFile(*r->Image, static_cast<uint32_t>(rva), length, fileOffset)) {
    *r->Error = std::string(what) + " lies outside the image";
    return 0;
  }
  if (!r->Reached.insert(offset).second) {
    *r->Error = std::string(what) + " is reached twice (a loop in the resource tree)";
    return 0;
  }
  return 1;
}

int ReadKey(TreeReader* r, uint32_t field, ResourceKey* key) {
  key->IsNamed = (field & kResourceHighBit) != 0;
  key->Id = key->IsNamed ? 0 : field;
  key->Name.clear();
  if (!key->IsNamed) return 1;
  // Strings may be shared between entries, so they are not marked.
  uint64_t rva = uint64_t{r->RootRva} + (field & ~kResourceHighBit);
  size_t at;
  if (rva + 2 > 0xFFFFFFFFu || !MapRvaToFile(*r->Image, static_cast<uint32_t>(rva), 2, &at))
    return Fail(r->Error, "a resource name lies outside the image");
  uint16_t length;
  std::memcpy(&length, r->Image->Data + at, 2);
  if (!MapRvaToFile(*r->Image, static_cast<uint32_t>(rva), 2 + 2u * length, &at))
    return Fail(r->Error, "a resource name lies outside the image");
  // Shared strings are allowed, but not so many that the copies outgrow the
  // file many times over.
  r->NameBytes += 2u * length;
  if (r->NameBytes > r->Image->Size)
    return Fail(r->Error, "resource names overlap (they add up to more than the file)");
  key->Name.resize(length);
  std::memcpy(key->Name.data(), r->Image->Data + at + 2, 2u * length);
  return 1;
}

// Reads the directory at offset: its header and its entries, checking that
// named entries come first as the header's counts say.
int ReadDirectory(TreeReader* r, uint32_t offset, ResourceDirectory* header,
                  std::vector<ResourceDirectoryEntry>* entries) {
  size_t at;
  if (!MapStructure(r, offset, sizeof(ResourceDirectory), &at, "a resource directory")) return 0;
  std::memcpy(header, r->Image->Data + at, sizeof *header);
  uint32_t count = uint32_t{header->NumberOfNamedEntries} + header->NumberOfIdEntries;
  entries->clear();
  if (count == 0) return 1;
  size_t entriesAt;
  uint64_t rva = uint64_t{r->RootRva} + offset + sizeof(ResourceDirectory);
  if (rva + count * 8u > 0xFFFFFFFFu ||
      !MapRvaToFile(*r->Image, static_cast<uint32_t>(rva), count * 8u, &entriesAt))
    return Fail(r->Error, "a resource directory's entries lie outside the image");
  entries->resize(count);
  std::memcpy(entries->data(), r->Image->Data + entriesAt, count * 8u);
  for (uint32_t i = 0; i < count; i++) {
    int named = ((*entries)[i].Name & kResourceHighBit) != 0;
    if (named != (i < header->NumberOfNamedEntries))
      return Fail(r->Error, "a resource directory's entries do not match its counts");
  }
  return 1;
}

int ReadSubdirectory(TreeReader* r, const ResourceDirectoryEntry& e, ResourceDirectory* header,
                     std::vector<ResourceDirectoryEntry>* entries) {
  if (!(e.OffsetToData & kResourceHighBit))
    return Fail(r->Error, "the resource tree is shallower than type, name and language");
  return ReadDirectory(r, e.OffsetToData & ~kResourceHighBit, header, entries);
}

int ReadLeaf(TreeReader* r, const ResourceDirectoryEntry& e, ResourceLeaf* leaf) {
  if (e.OffsetToData & kResourceHighBit)
    return Fail(r->Error, "the resource tree is deeper than type, name and language");
  size_t at;
  if (!MapStructure(r, e.OffsetToData, sizeof(ResourceDataEntry), &at, "a resource data entry"))
    return 0;
  ResourceDataEntry d;
  std::memcpy(&d, r->Image->Data + at, sizeof d);
  size_t dataAt = 0;
  if (d.Size != 0 && !MapRvaToFile(*r->Image, d.OffsetToData, d.Size, &dataAt))
    return Fail(r->Error, "a resource's data lies outside the image");
  // Distinct leaves over the same bytes would be copied once each; a file
  // built to repeat that could make the output explode, so the leaves may
  // not add up to more than the file holds.
  r->LeafBytes += d.Size;
  if (r->LeafBytes > r->Image->Size)
    return Fail(r->Error, "resources overlap (their sizes add up to more than the file)");
  leaf->Language = e.Name;
  leaf->CodePage = d.CodePage;
  leaf->Reserved = d.Reserved;
  leaf->Data = r->Image->Data + dataAt;
  leaf->Size = d.Size;
  return 1;
}

uint16_t FoldAscii(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<uint16_t>(c - 32) : static_cast<uint16_t>(c);
}

// The order of named entries that the loader's binary search expects:
// character by character without regard to ASCII case, a prefix first.
int CompareNames(const std::u16string& a, const std::u16string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; i++) {
    uint16_t x = FoldAscii(a[i]), y = FoldAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int KeysMatch(const ResourceKey& a, const ResourceKey& b) {
  if (a.IsNamed != b.IsNamed) return 0;
  return a.IsNamed ? CompareNames(a.Name, b.Name) == 0 : a.Id == b.Id;
}

// Where key goes among the entries: named keys before id keys, each group
// sorted. An existing order that is not sorted is kept as it is; the key
// then goes before the first entry that sorts after it.
template <typename Node>
size_t InsertPosition(const std::vector<Node>& nodes, const ResourceKey& key) {
  size_t i = 0;
  for (; i < nodes.size(); i++) {
    const ResourceKey& k = nodes[i].Key;
    if (key.IsNamed && (!k.IsNamed || CompareNames(key.Name, k.Name) < 0)) break;
    if (!key.IsNamed && !k.IsNamed && key.Id < k.Id) break;
  }
  return i;
}

template <typename Node>
Node* FindNode(std::vector<Node>& nodes, const ResourceKey& key) {
  for (Node& n : nodes)
    if (KeysMatch(n.Key, key)) return &n;
  return nullptr;
}

template <typename Node>
size_t CountNamed(const std::vector<Node>& nodes) {
  size_t n = 0;
  for (const Node& node : nodes) n += node.Key.IsNamed ? 1 : 0;
  return n;
}

// A directory counts its named and its id entries in 16 bits each.
template <typename Node>
int CountsFit(const std::vector<Node>& nodes) {
  size_t named = CountNamed(nodes);
  return named <= 0xFFFF && nodes.size() - named <= 0xFFFF;
}

void Put(std::vector<uint8_t>* out, size_t at, const void* record, size_t length) {
  std::memcpy(out->data() + at, record, length);
}

}  // namespace

int ReadResourceTree(const PeImage& image, ResourceTree* tree, std::string* error) {
  *tree = ResourceTree{};
  DataDirectory dir = GetDataDirectory(image, kDirectoryResource);
  if (dir.VirtualAddress == 0 && dir.Size == 0) return 1;
  std::string reason;
  TreeReader r{&image, dir.VirtualAddress, {}, 0, 0, &reason};
  std::vector<ResourceDirectoryEntry> types, names, languages;
  if (!ReadDirectory(&r, 0, &tree->Header, &types)) return Fail(error, reason.c_str());
  for (const ResourceDirectoryEntry& t : types) {
    ResourceTypeNode typeNode{};
    if (!ReadKey(&r, t.Name, &typeNode.Key) ||
        !ReadSubdirectory(&r, t, &typeNode.Header, &names))
      return Fail(error, reason.c_str());
    for (const ResourceDirectoryEntry& n : names) {
      ResourceNameNode nameNode{};
      if (!ReadKey(&r, n.Name, &nameNode.Key) ||
          !ReadSubdirectory(&r, n, &nameNode.Header, &languages))
        return Fail(error, reason.c_str());
      for (const ResourceDirectoryEntry& l : languages) {
        if (l.Name & kResourceHighBit)
          return Fail(error, "a resource language is given as a string");
        ResourceLeaf leaf{};
        if (!ReadLeaf(&r, l, &leaf)) return Fail(error, reason.c_str());
        nameNode.Languages.push_back(leaf);
      }
      typeNode.Names.push_back(std::move(nameNode));
    }
    tree->Types.push_back(std::move(typeNode));
  }
  return 1;
}

const ResourceLeaf* FindResource(const ResourceTree& tree, const ResourceKey& type,
                                 const ResourceKey& name) {
  for (const ResourceTypeNode& t : tree.Types) {
    if (!KeysMatch(t.Key, type)) continue;
    for (const ResourceNameNode& n : t.Names) {
      if (!KeysMatch(n.Key, name) || n.Languages.empty()) continue;
      for (const ResourceLeaf& l : n.Languages)
        if (l.Language == kPayloadResourceLanguage) return &l;
      return &n.Languages.front();
    }
  }
  return nullptr;
}

void SetResource(ResourceTree* tree, const ResourceKey& type, const ResourceKey& name,
                 uint32_t language, const uint8_t* data, uint32_t size) {
  ResourceTypeNode* t = FindNode(tree->Types, type);
  if (!t) {
    ResourceTypeNode node{};
    node.Key = type;
    t = &*tree->Types.insert(tree->Types.begin() + InsertPosition(tree->Types, type), node);
  }
  ResourceNameNode* n = FindNode(t->Names, name);
  if (!n) {
    ResourceNameNode node{};
    node.Key = name;
    n = &*t->Names.insert(t->Names.begin() + InsertPosition(t->Names, name), node);
  }
  ResourceLeaf leaf{};
  leaf.Language = language;
  leaf.Data = data;
  leaf.Size = size;
  n->Languages.assign(1, leaf);
}

void RemoveResource(ResourceTree* tree, const ResourceKey& type, const ResourceKey& name) {
  ResourceTypeNode* t = FindNode(tree->Types, type);
  if (!t) return;
  std::erase_if(t->Names, [&](const ResourceNameNode& n) { return KeysMatch(n.Key, name); });
  if (t->Names.empty())
    std::erase_if(tree->Types, [&](const ResourceTypeNode& node) { return KeysMatch(node.Key, type); });
}

int BuildResourceData(const ResourceTree& tree, uint32_t sectionRva, std::vector<uint8_t>* out,
                      std::string* error) {
  // First pass: the size of each part, in 64-bit so that nothing wraps.
  uint64_t directories = sizeof(ResourceDirectory) + 8 * uint64_t{tree.Types.size()};
  uint64_t dataEntries = 0, strings = 0, leafBytes = 0;
  for (const ResourceTypeNode& t : tree.Types) {
    directories += sizeof(ResourceDirectory) + 8 * uint64_t{t.Names.size()};
    if (t.Key.IsNamed) strings += 2 + 2 * uint64_t{t.Key.Name.size()};
    for (const ResourceNameNode& n : t.Names) {
      directories += sizeof(ResourceDirectory) + 8 * uint64_t{n.Languages.size()};
      if (n.Key.IsNamed) strings += 2 + 2 * uint64_t{n.Key.Name.size()};
      dataEntries += sizeof(ResourceDataEntry) * uint64_t{n.Languages.size()};
      for (const ResourceLeaf& l : n.Languages) leafBytes += AlignUp(l.Size, 8);
    }
  }
  int countsFit = CountsFit(tree.Types);
  for (const ResourceTypeNode& t : tree.Types) {
    countsFit = countsFit && CountsFit(t.Names);
    for (const ResourceNameNode& n : t.Names) countsFit = countsFit && n.Languages.size() <= 0xFFFF;
  }
  if (!countsFit) return Fail(error, "too many resources in one directory");
  uint64_t headerBytes = AlignUp(directories + dataEntries + strings, 8);
  uint64_t total = headerBytes + leafBytes;
  // Offsets of subdirectories and names must stay below the high bit, and
  // every leaf's address must fit in 32 bits.
  if (headerBytes >= kResourceHighBit || uint64_t{sectionRva} + total > 0xFFFFFFFFu)
    return Fail(error, "the resources do not fit in 4 GiB");
  out->assign(total, 0);

  // Second pass: root, then the type level's directories, then the name
  // level's, each directory's entries pointing forward.
  uint64_t nextDirectory = 0, nextDataEntry = directories, nextString = directories + dataEntries;
  uint64_t nextLeaf = headerBytes;
  auto placeString = [&](const ResourceKey& key) -> uint32_t {
    if (!key.IsNamed) return key.Id;
    uint64_t at = nextString;
    uint16_t length = static_cast<uint16_t>(key.Name.size());
    Put(out, at, &length, 2);
    Put(out, at + 2, key.Name.data(), 2u * length);
    nextString += 2 + 2u * length;
    return static_cast<uint32_t>(at) | kResourceHighBit;
  };
  auto placeDirectory = [&](ResourceDirectory header, size_t named, size_t count) {
    uint64_t at = nextDirectory;
    header.NumberOfNamedEntries = static_cast<uint16_t>(named);
    header.NumberOfIdEntries = static_cast<uint16_t>(count - named);
    Put(out, at, &header, sizeof header);
    nextDirectory += sizeof header + 8 * uint64_t{count};
    return at;
  };
  auto putEntry = [&](uint64_t directory, size_t index, uint32_t name, uint32_t target) {
    ResourceDirectoryEntry e{name, target};
    Put(out, directory + sizeof(ResourceDirectory) + 8 * index, &e, sizeof e);
  };

  uint64_t root = placeDirectory(tree.Header, CountNamed(tree.Types), tree.Types.size());
  std::vector<uint64_t> typeDirectories;
  for (size_t i = 0; i < tree.Types.size(); i++) {
    const ResourceTypeNode& t = tree.Types[i];
    uint64_t d = placeDirectory(t.Header, CountNamed(t.Names), t.Names.size());
    putEntry(root, i, placeString(t.Key), static_cast<uint32_t>(d) | kResourceHighBit);
    typeDirectories.push_back(d);
  }
  for (size_t i = 0; i < tree.Types.size(); i++) {
    const ResourceTypeNode& t = tree.Types[i];
    for (size_t j = 0; j < t.Names.size(); j++) {
      const ResourceNameNode& n = t.Names[j];
      uint64_t d = placeDirectory(n.Header, 0, n.Languages.size());
      putEntry(typeDirectories[i], j, placeString(n.Key),
               static_cast<uint32_t>(d) | kResourceHighBit);
      for (size_t k = 0; k < n.Languages.size(); k++) {
        const ResourceLeaf& l = n.Languages[k];
        ResourceDataEntry entry{static_cast<uint32_t>(sectionRva + nextLeaf), l.Size, l.CodePage,
                                l.Reserved};
        Put(out, nextDataEntry, &entry, sizeof entry);
        putEntry(d, k, l.Language, static_cast<uint32_t>(nextDataEntry));
        nextDataEntry += sizeof entry;
        if (l.Size) Put(out, nextLeaf, l.Data, l.Size);
        nextLeaf += AlignUp(l.Size, 8);
      }
    }
  }
  return 1;
}

int FindUpdatePayload(const uint8_t* data, size_t size, size_t* offset, size_t* length,
                      std::string* error) {
  PeImage image;
  ResourceTree tree;
  if (!ParsePeImage(data, size, &image, error) || !ReadResourceTree(image, &tree, error))
    return 0;
  const ResourceLeaf* leaf = FindResource(tree, ResourceKey{1, kPayloadResourceTypeWide, 0},
                                          ResourceKey{0, u"", kPayloadResourceId});
  if (!leaf) return Fail(error, "no payload (resource UPDATE/102) in the executable");
  if (leaf->Size == 0) return Fail(error, "the payload (resource UPDATE/102) is empty");
  *offset = static_cast<size_t>(leaf->Data - data);
  *length = leaf->Size;
  return 1;
}
