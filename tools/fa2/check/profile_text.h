// An INI file as the updater's profile reader sees it, for fa2's checks.
//
// The updater reads UPDATE.INI and SETUP.INI with GetPrivateProfileStringA.
// This is a small, platform-neutral model of the lookups it makes there:
//   - lines end at a line feed; a carriage return before it is dropped;
//   - "[name]" starts a section; keys before the first section belong to none;
//   - "key=value": key and value are trimmed of blanks, and a value wrapped in
//     a matching pair of double or single quotes loses them;
//   - section and key names compare without regard to ASCII letter case, and
//     only the first section of a name and the first key of a name in it count;
//   - a value is cut to the reader's buffer size minus one byte, and an empty
//     value reads like a missing key.
// Where the platform's reader may differ: it cuts long values on a character
// boundary, may accept other line ends, and reads a file that starts with a
// byte-order mark as Unicode on some systems. The model never guesses at
// those; the checks report such files instead.
//
// Nothing here reads or writes a file; the text is given as bytes (CP932).
#ifndef FA2_PROFILE_TEXT_H
#define FA2_PROFILE_TEXT_H

#include <cstddef>
#include <string>
#include <vector>

struct ProfileKey {
  std::string name;   // trimmed
  std::string value;  // trimmed, quotes removed, not yet cut
  int line;           // 1-based
};

struct ProfileSection {
  std::string name;  // trimmed
  int line;
  std::vector<ProfileKey> keys;  // in file order, repeated names included
};

struct ProfileText {
  std::vector<ProfileSection> sections;  // in file order, repeated names included
};

// Splits the bytes into sections and keys. Never fails: lines that are
// neither a section nor a key are keys without a value, as the platform keeps
// them.
ProfileText ParseProfileText(const std::string& bytes);

// The first section of that name, or nullptr.
const ProfileSection* FindProfileSection(const ProfileText& text, const std::string& section);

// The first key of that name in the first section of that name, or nullptr.
const ProfileKey* FindProfileKey(const ProfileText& text, const std::string& section,
                                 const std::string& key);

// What the reader gives for the key with a buffer of size bytes: the value
// cut to size - 1 bytes. Returns 1 for a non-empty value, 0 for a missing or
// empty one (value is then empty). *cut tells whether bytes were cut off.
int ReadProfileValue(const ProfileText& text, const std::string& section, const std::string& key,
                     size_t size, std::string* value, bool* cut = nullptr);

// Whether the names are equal without regard to ASCII letter case.
bool ProfileNamesEqual(const std::string& a, const std::string& b);

#endif
