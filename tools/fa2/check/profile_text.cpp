#include "fa2/check/profile_text.h"

namespace {

bool IsProfileBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsProfileBlank(text[begin])) ++begin;
  while (end > begin && IsProfileBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool ProfileNamesEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

ProfileText ParseProfileText(const std::string& bytes) {
  ProfileText text;
  ProfileSection* current = nullptr;
  size_t start = 0;
  int lineNumber = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed = Trim(line);
    if (trimmed.empty()) continue;
    if (trimmed[0] == '[') {
      const size_t close = trimmed.find(']');
      const std::string name =
          Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      text.sections.push_back({name, lineNumber, {}});
      current = &text.sections.back();
      continue;
    }
    if (current == nullptr) continue;
    const size_t equals = trimmed.find('=');
    ProfileKey key{Trim(trimmed.substr(0, equals)), "", lineNumber};
    if (equals != std::string::npos) {
      std::string value = Trim(trimmed.substr(equals + 1));
      if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
          value.back() == value[0])
        value = value.substr(1, value.size() - 2);
      key.value = value;
    }
    current->keys.push_back(key);
  }
  return text;
}

const ProfileSection* FindProfileSection(const ProfileText& text, const std::string& section) {
  for (const ProfileSection& s : text.sections) {
    if (ProfileNamesEqual(s.name, section)) return &s;
  }
  return nullptr;
}

const ProfileKey* FindProfileKey(const ProfileText& text, const std::string& section,
                                 const std::string& key) {
  const ProfileSection* s = FindProfileSection(text, section);
  if (s == nullptr) return nullptr;
  for (const ProfileKey& k : s->keys) {
    if (ProfileNamesEqual(k.name, key)) return &k;
  }
  return nullptr;
}

int ReadProfileValue(const ProfileText& text, const std::string& section, const std::string& key,
                     size_t size, std::string* value, bool* cut) {
  const ProfileKey* k = FindProfileKey(text, section, key);
  *value = k ? k->value : std::string();
  const bool tooLong = size > 0 && value->size() > size - 1;
  if (tooLong) value->resize(size - 1);
  if (cut) *cut = tooLong;
  return value->empty() ? 0 : 1;
}
