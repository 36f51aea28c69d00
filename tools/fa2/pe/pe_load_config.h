// The dependent-load flag of an image's load configuration: where the
// loader looks for the libraries that it binds to the image before the
// program runs.
#ifndef FA2_PE_LOAD_CONFIG_H
#define FA2_PE_LOAD_CONFIG_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fa2/pe/pe_image.h"

// LOAD_LIBRARY_SEARCH_SYSTEM32: the system folder only.
constexpr uint16_t kLoadLibrarySearchSystem32 = 0x800;

// Where DependentLoadFlags lies in the load configuration record.
constexpr size_t kLoadConfigDependentLoadFlagsPe32 = 0x36;
constexpr size_t kLoadConfigDependentLoadFlagsPe32Plus = 0x4E;

// When the image has a load configuration directory whose record lies in
// the first kept bytes of file (a copy of the image's file up to there), is
// long enough by its own Size field to hold DependentLoadFlags, and has that
// field 0, sets it to kLoadLibrarySearchSystem32. Flags that the image's
// makers chose are kept. Returns 1 when the field was set. Changes nothing
// else; the caller recomputes the checksum.
int SetDependentLoadFlags(const PeImage& image, size_t kept, std::vector<uint8_t>* file);

#endif
