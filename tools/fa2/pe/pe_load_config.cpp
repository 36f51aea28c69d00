#include "fa2/pe/pe_load_config.h"

#include <cstring>

int SetDependentLoadFlags(const PeImage& image, size_t kept, std::vector<uint8_t>* file) {
  const DataDirectory config = GetDataDirectory(image, kDirectoryLoadConfig);
  const size_t field = image.IsPe32Plus ? kLoadConfigDependentLoadFlagsPe32Plus
                                        : kLoadConfigDependentLoadFlagsPe32;
  size_t at;
  if (config.VirtualAddress == 0 ||
      !MapRvaToFile(image, config.VirtualAddress, static_cast<uint32_t>(field + 2), &at) ||
      at + field + 2 > kept || at + field + 2 > file->size())
    return 0;
  uint32_t recordSize;
  uint16_t flags;
  std::memcpy(&recordSize, file->data() + at, 4);
  std::memcpy(&flags, file->data() + at + field, 2);
  if (recordSize < field + 2 || flags != 0) return 0;
  std::memcpy(file->data() + at + field, &kLoadLibrarySearchSystem32, 2);
  return 1;
}
