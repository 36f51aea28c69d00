// An updater's branding: the icon that Explorer shows for it and the texts
// of its version resource. Both replace the stub's own when given; what is
// not given stays as the stub has it.
//
// The icon comes from an .ico file: its images become the icon resources
// (RT_ICON 1..N) and its directory the icon group, which keeps the name of
// the stub's group so that whatever loads it by that name still finds it.
// The version resource is written with one string table, Japanese in code
// page 932 ("041103a4"), whose texts VerQueryValueA gives back in CP932 on
// a Japanese system; numeric FileVersion and ProductVersion texts also fill
// the fixed version numbers. Nothing here reads or writes files.
#ifndef FA2_PE_BRANDING_H
#define FA2_PE_BRANDING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fa2/pe/pe_resources.h"

// The version keys a publisher may set, in the order they are written.
constexpr const char* kVersionKeys[] = {"CompanyName",    "FileDescription", "FileVersion",
                                        "LegalCopyright", "ProductName",     "ProductVersion"};

struct VersionField {
  std::string Key;    // one of kVersionKeys, spelled as there
  std::string Value;  // CP932 text, not empty
};

struct UpdaterBranding {
  std::vector<uint8_t> Icon;          // an .ico file's bytes; empty keeps the stub's icon
  std::vector<VersionField> Version;  // empty keeps the stub's version resource
};

// The bytes that the branded tree's leaves point into while it is written.
struct BrandingResources {
  std::vector<uint8_t> IconGroup;
  std::vector<uint8_t> Version;
};

// Takes "KEY=VALUE" (the value in CP932) as a version field: the key is one
// of kVersionKeys in any letter case, the value is not empty and is valid
// CP932. Returns 0 with the reason in *error.
int ParseVersionField(const std::string& text, VersionField* field, std::string* error);

// Checks that the bytes are an icon file (a directory of at least one image,
// each image inside the file and each a bitmap or a PNG image) and makes
// the group directory that names the images by the ids firstId, firstId + 1
// and so on. Returns 0 with the reason in *error.
int BuildIconGroup(const uint8_t* ico, size_t size, uint16_t firstId, std::vector<uint8_t>* group,
                   std::string* error);

// Makes a VS_VERSIONINFO resource from the fields (each key at most once).
// Returns 0 with the reason in *error when a key repeats, a text is not
// CP932, or the resource would pass its 64 KiB limit.
int BuildVersionResource(const std::vector<VersionField>& fields, std::vector<uint8_t>* out,
                         std::string* error);

// Puts the branding into the tree: the stub's icons and icon groups are
// replaced by the icon file's, its version resource by the fields', each in
// the language that the stub used for it (Japanese when it had none). The
// icon images point into branding.Icon, the rest into *storage; both must
// outlive the tree. Returns 0 with the reason in *error.
int ApplyBranding(ResourceTree* tree, const UpdaterBranding& branding, BrandingResources* storage,
                  std::string* error);

#endif
