// The encoding of an INI file's bytes: the updater reads them as CP932.
// Platform-neutral and pure.
#ifndef FA2_CHECK_INI_TEXT_H
#define FA2_CHECK_INI_TEXT_H

#include <cstddef>
#include <string>

// Whether the bytes are well-formed CP932: single bytes, or a lead byte and a
// trail byte 0x40-0x7E or 0x80-0xFC. *at gets the offset of the first bad byte.
bool IsCp932Text(const std::string& text, size_t* at = nullptr);

// Whether the text holds non-ASCII bytes and is well-formed UTF-8 throughout,
// which CP932 text with Japanese in it practically never is. *at gets the
// offset of the first non-ASCII byte.
bool LooksLikeUtf8(const std::string& text, size_t* at = nullptr);

// The 1-based line that holds the byte at offset.
int LineOfOffset(const std::string& text, size_t offset);

#endif
