// The resources of a PE file: reading the whole resource tree, finding one
// resource, and writing a tree back as the contents of a resource section.
//
// The tree has exactly three levels, as the Windows loader reads it: types,
// then names within a type, then languages within a name, whose leaves hold
// the bytes. A type or name is an integer id or a UTF-16 string. The reader
// keeps each directory's header and the order of its entries, so that a tree
// read and written back differs only where it was changed.
#ifndef FA2_PE_RESOURCES_H
#define FA2_PE_RESOURCES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/updater_contract.h"
#include "fa2/pe/pe_format.h"
#include "fa2/pe/pe_image.h"


struct ResourceKey {
  int IsNamed;          // 1: Name holds the key; 0: Id does
  std::u16string Name;
  uint32_t Id;
};

struct ResourceLeaf {
  uint32_t Language;
  uint32_t CodePage;
  uint32_t Reserved;
  const uint8_t* Data;  // points into the buffer the tree was read from (or
  uint32_t Size;        // into the new payload); never owned
};

struct ResourceNameNode {
  ResourceKey Key;
  ResourceDirectory Header;  // the language directory's own header
  std::vector<ResourceLeaf> Languages;
};

struct ResourceTypeNode {
  ResourceKey Key;
  ResourceDirectory Header;  // the name directory's own header
  std::vector<ResourceNameNode> Names;
};

struct ResourceTree {
  ResourceDirectory Header;  // the root directory's header
  std::vector<ResourceTypeNode> Types;
};

// Reads the whole resource tree of a parsed image. An image without a
// resource directory gives an empty tree. Returns 0 with the reason in
// *error when any part of the tree lies outside the image's sections, when a
// directory is reached twice (a loop or a shared subtree), when the tree is
// deeper or shallower than three levels, or when its entries contradict
// their directory's counts. The leaves point into image.Data.
int ReadResourceTree(const PeImage& image, ResourceTree* tree, std::string* error);

// Finds the leaf of type and name (language 1041 when there, else the
// first). Types and names given as strings compare without regard to ASCII
// case, as the loader compares them. Returns the leaf or null.
const ResourceLeaf* FindResource(const ResourceTree& tree, const ResourceKey& type,
                                 const ResourceKey& name);

// Puts data in as the only language (given) of type and name, replacing
// every language that was there and adding the type and name directories in
// their sorted places when they are missing. data must outlive the tree.
void SetResource(ResourceTree* tree, const ResourceKey& type, const ResourceKey& name,
                 uint32_t language, const uint8_t* data, uint32_t size);

// Removes type and name with all their languages, and the type when no name
// is left in it. Nothing happens when there is no such resource.
void RemoveResource(ResourceTree* tree, const ResourceKey& type, const ResourceKey& name);

// Serialises the tree as resource data that will be loaded at sectionRva:
// the directories (root first, then breadth first), the data entries, the
// name strings, then each leaf's bytes on an 8-byte boundary. Returns 0 with
// *error when the result would not fit in 4 GiB of address space.
int BuildResourceData(const ResourceTree& tree, uint32_t sectionRva, std::vector<uint8_t>* out,
                      std::string* error);

// Finds the updater's payload (resource "UPDATE"/102) in a PE file held in
// memory. Returns 1 with the payload's position and length in the file, or
// 0 with the reason in *error (not a PE file, damaged, no such resource, or
// an empty one).
int FindUpdatePayload(const uint8_t* data, size_t size, size_t* offset, size_t* length,
                      std::string* error);

// Makes an updater: a copy of the PE file stub with payload as its resource
// "UPDATE"/102 in language 1041, replacing any such resource in any
// language, and the payload's digest record (archive/payload_digest.h) as
// "UPDATE"/103 in language 1041 beside it; with withDigest 0, the record is
// left out and one that the stub carries is removed (an updater as tools
// without the record make it). Every other resource keeps its bytes, keys
// and language. The new resource data goes into the resource section itself
// when that is the image's last section, else into a new section ".rsrc"
// after the last one;
// the section table, SizeOfImage, SizeOfInitializedData, the resource data
// directory and the checksum are updated, and whatever follows the image's
// data in the file (COFF symbols, appended data) is kept after the new
// section. When the stub has a load configuration whose DependentLoadFlags
// is 0, it is set to the system folder only (fa2/pe/pe_load_config.h). A signed
// stub is refused, since the change would break its signature. With
// branding, the stub's icon and version resource are replaced as
// ApplyBranding (pe_branding.h) says. An updater whose file or image would
// reach imageLimit bytes (0: kUpdaterImageLimit of fa2/update_check.h, what
// Windows starts) is refused before it is made. Returns 1 with the new file
// in *out, or 0 with the reason in *error.
struct UpdaterBranding;
int EmbedUpdatePayload(const uint8_t* stub, size_t stubSize, const uint8_t* payload,
                       size_t payloadSize, std::vector<uint8_t>* out, std::string* error,
                       const UpdaterBranding* branding = nullptr, int withDigest = 1,
                       uint64_t imageLimit = 0);

#endif
