// Building the icon group and the version resource, and putting them into
// an updater's resource tree.
#include "fa2/pe/pe_branding.h"

#include <cstring>

#include "fa2/host/names.h"

namespace {

constexpr uint32_t kTypeIcon = 3;         // RT_ICON
constexpr uint32_t kTypeIconGroup = 14;   // RT_GROUP_ICON
constexpr uint32_t kTypeVersion = 16;     // RT_VERSION
constexpr uint16_t kCodePage = 932;

// An .ico file: a 6-byte header (reserved 0, type 1, count), then one
// 16-byte record per image whose last field is the image's file offset. The
// group resource has the same header and 14-byte records that end in the
// icon resource's id instead.
constexpr size_t kIcoHeader = 6;
constexpr size_t kIcoRecord = 16;

int Fail(std::string* error, const std::string& reason) {
  if (error) *error = reason;
  return 0;
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void Put16(std::vector<uint8_t>* v, uint16_t x) {
  v->push_back(static_cast<uint8_t>(x));
  v->push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>* v, uint32_t x) {
  Put16(v, static_cast<uint16_t>(x));
  Put16(v, static_cast<uint16_t>(x >> 16));
}
void Set16(std::vector<uint8_t>* v, size_t at, uint16_t x) {
  (*v)[at] = static_cast<uint8_t>(x);
  (*v)[at + 1] = static_cast<uint8_t>(x >> 8);
}

// Parses "1", "1.2", "1.2.3" or "1.2.3.4", each part a number up to 65535,
// into the two 32-bit halves of a fixed version. Returns 0 for any other text.
int ParseNumericVersion(const std::string& text, uint32_t* high, uint32_t* low) {
  uint32_t parts[4] = {0, 0, 0, 0};
  size_t count = 0, digits = 0;
  for (char c : text) {
    if (c == '.') {
      if (digits == 0 || ++count == 4) return 0;
      digits = 0;
    } else if (c >= '0' && c <= '9') {
      parts[count] = parts[count] * 10 + static_cast<uint32_t>(c - '0');
      if (++digits > 5 || parts[count] > 0xFFFF) return 0;
    } else {
      return 0;
    }
  }
  if (digits == 0) return 0;
  *high = parts[0] << 16 | parts[1];
  *low = parts[2] << 16 | parts[3];
  return 1;
}

// The version resource is a tree of nodes, each a length, the length of its
// value, a type (1: text, 0: binary), a NUL-terminated UTF-16 key, padding to
// 4 bytes, the value, padding, then its children. A node's length counts
// everything up to the end of its last child, not the padding after it.
size_t BeginNode(std::vector<uint8_t>* v, const std::u16string& key, uint16_t valueLength,
                 uint16_t type) {
  while (v->size() % 4) v->push_back(0);
  size_t at = v->size();
  Put16(v, 0);
  Put16(v, valueLength);
  Put16(v, type);
  for (char16_t c : key) Put16(v, c);
  Put16(v, 0);
  while (v->size() % 4) v->push_back(0);
  return at;
}

void EndNode(std::vector<uint8_t>* v, size_t at) {
  Set16(v, at, static_cast<uint16_t>(v->size() - at));
}

std::u16string Widen(const char* ascii) { return std::u16string(ascii, ascii + std::strlen(ascii)); }

// The language of the first leaf of a type in the stub, or Japanese.
uint32_t StubLanguage(const ResourceTree& tree, uint32_t type) {
  for (const ResourceTypeNode& t : tree.Types)
    if (!t.Key.IsNamed && t.Key.Id == type)
      for (const ResourceNameNode& n : t.Names)
        if (!n.Languages.empty()) return n.Languages.front().Language;
  return kPayloadResourceLanguage;
}

void RemoveType(ResourceTree* tree, uint32_t type) {
  std::erase_if(tree->Types,
                [type](const ResourceTypeNode& t) { return !t.Key.IsNamed && t.Key.Id == type; });
}

ResourceKey IdKey(uint32_t id) { return ResourceKey{0, u"", id}; }

}  // namespace

int ParseVersionField(const std::string& text, VersionField* field, std::string* error) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos) return Fail(error, "give the version field as KEY=VALUE");
  const std::string key = text.substr(0, equals);
  field->Key.clear();
  for (const char* known : kVersionKeys) {
    if (key.size() != std::strlen(known)) continue;
    bool same = true;
    for (size_t i = 0; i < key.size(); ++i)
      same = same && (key[i] | 0x20) == (known[i] | 0x20);
    if (same) field->Key = known;
  }
  if (field->Key.empty()) {
    std::string keys;
    for (const char* known : kVersionKeys) keys += std::string(keys.empty() ? "" : ", ") + known;
    return Fail(error, "unknown version key '" + key + "' (known: " + keys + ")");
  }
  field->Value = text.substr(equals + 1);
  if (field->Value.empty()) return Fail(error, "the version field " + field->Key + " is empty");
  std::u16string wide;
  if (field->Value.find('\0') != std::string::npos || !Cp932ToUtf16(field->Value, &wide))
    return Fail(error, "the version field " + field->Key + " is not CP932 text");
  return 1;
}

int BuildIconGroup(const uint8_t* ico, size_t size, uint16_t firstId, std::vector<uint8_t>* group,
                   std::string* error) {
  if (size < kIcoHeader || Get16(ico) != 0 || Get16(ico + 2) != 1)
    return Fail(error, "not an icon file (its header is not that of an .ico file)");
  const size_t count = Get16(ico + 4);
  if (count == 0) return Fail(error, "the icon file holds no image");
  if (count > 0xFFFFu - firstId) return Fail(error, "the icon file holds too many images");
  const size_t tableEnd = kIcoHeader + count * kIcoRecord;
  if (tableEnd > size) return Fail(error, "the icon file is cut short in its directory");

  group->clear();
  Put16(group, 0);
  Put16(group, 1);
  Put16(group, static_cast<uint16_t>(count));
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* record = ico + kIcoHeader + i * kIcoRecord;
    const uint32_t length = Get32(record + 8), offset = Get32(record + 12);
    const std::string which = "image " + std::to_string(i + 1);
    if (length == 0 || offset < tableEnd || offset > size || length > size - offset)
      return Fail(error, "the icon file's " + which + " lies outside the file");
    const uint8_t* image = ico + offset;
    const bool png = length >= 8 && std::memcmp(image, "\x89PNG\r\n\x1A\n", 8) == 0;
    // A bitmap image starts with a BITMAPINFOHEADER (40 bytes) or one of its
    // longer successors; its height counts the colour and the mask rows.
    const bool bitmap = length >= 40 && (Get32(image) == 40 || Get32(image) == 108 ||
                                         Get32(image) == 124) && Get32(image) <= length;
    if (!png && !bitmap)
      return Fail(error, "the icon file's " + which + " is neither a bitmap nor a PNG image");
    uint16_t planes = Get16(record + 4), bits = Get16(record + 6);
    if (planes == 0) planes = 1;
    if (bits == 0) bits = bitmap ? Get16(image + 14) : 32;
    group->insert(group->end(), record, record + 4);  // width, height, colours, reserved
    Put16(group, planes);
    Put16(group, bits);
    Put32(group, length);
    Put16(group, static_cast<uint16_t>(firstId + i));
  }
  return 1;
}

int BuildVersionResource(const std::vector<VersionField>& fields, std::vector<uint8_t>* out,
                         std::string* error) {
  uint32_t fileHigh = 0, fileLow = 0, productHigh = 0, productLow = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    for (size_t j = 0; j < i; ++j)
      if (fields[j].Key == fields[i].Key)
        return Fail(error, "the version field " + fields[i].Key + " is given twice");
    if (fields[i].Key == "FileVersion") ParseNumericVersion(fields[i].Value, &fileHigh, &fileLow);
    if (fields[i].Key == "ProductVersion")
      ParseNumericVersion(fields[i].Value, &productHigh, &productLow);
  }

  out->clear();
  const size_t root = BeginNode(out, u"VS_VERSION_INFO", 52, 0);
  for (uint32_t word : {0xFEEF04BDu, 0x00010000u, fileHigh, fileLow, productHigh, productLow,
                        0x3Fu /* flags mask */, 0u /* flags */, 0x00040004u /* NT, Win32 */,
                        1u /* application */, 0u, 0u, 0u})
    Put32(out, word);

  const size_t strings = BeginNode(out, u"StringFileInfo", 0, 1);
  const size_t table = BeginNode(out, u"041103a4", 0, 1);
  // Written in the order of kVersionKeys, whatever the order given.
  for (const char* key : kVersionKeys) {
    for (const VersionField& field : fields) {
      if (field.Key != key) continue;
      std::u16string value;
      if (!Cp932ToUtf16(field.Value, &value))
        return Fail(error, "the version field " + field.Key + " is not CP932 text");
      if (value.size() >= 0x8000) return Fail(error, "the version field " + field.Key + " is too long");
      const size_t node = BeginNode(out, Widen(key), static_cast<uint16_t>(value.size() + 1), 1);
      for (char16_t c : value) Put16(out, c);
      Put16(out, 0);
      EndNode(out, node);
    }
  }
  EndNode(out, table);
  EndNode(out, strings);

  const size_t vars = BeginNode(out, u"VarFileInfo", 0, 1);
  const size_t translation = BeginNode(out, u"Translation", 4, 0);
  Put16(out, kPayloadResourceLanguage);
  Put16(out, kCodePage);
  EndNode(out, translation);
  EndNode(out, vars);
  if (out->size() > 0xFFFF) return Fail(error, "the version texts are too long (over 64 KiB)");
  EndNode(out, root);
  return 1;
}

int ApplyBranding(ResourceTree* tree, const UpdaterBranding& branding, BrandingResources* storage,
                  std::string* error) {
  if (!branding.Icon.empty()) {
    if (!BuildIconGroup(branding.Icon.data(), branding.Icon.size(), 1, &storage->IconGroup, error))
      return 0;
    const uint32_t language = StubLanguage(*tree, kTypeIconGroup);
    // The group keeps the stub's name for its first group, so that the
    // program's own references to its icon stay valid.
    ResourceKey groupName = IdKey(1);
    for (const ResourceTypeNode& t : tree->Types)
      if (!t.Key.IsNamed && t.Key.Id == kTypeIconGroup && !t.Names.empty())
        groupName = t.Names.front().Key;
    RemoveType(tree, kTypeIcon);
    RemoveType(tree, kTypeIconGroup);
    const uint8_t* ico = branding.Icon.data();
    const size_t count = Get16(ico + 4);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* record = ico + kIcoHeader + i * kIcoRecord;
      SetResource(tree, IdKey(kTypeIcon), IdKey(static_cast<uint32_t>(1 + i)), language,
                  ico + Get32(record + 12), Get32(record + 8));
    }
    SetResource(tree, IdKey(kTypeIconGroup), groupName, language, storage->IconGroup.data(),
                static_cast<uint32_t>(storage->IconGroup.size()));
  }
  if (!branding.Version.empty()) {
    if (!BuildVersionResource(branding.Version, &storage->Version, error)) return 0;
    const uint32_t language = StubLanguage(*tree, kTypeVersion);
    RemoveType(tree, kTypeVersion);
    SetResource(tree, IdKey(kTypeVersion), IdKey(1), language, storage->Version.data(),
                static_cast<uint32_t>(storage->Version.size()));
  }
  return 1;
}
