#include <windows.h>

#include "archive/archive_directory.h"
#include "archive/archive_directory_win32.h"
#include "common/updater_state.h"

uint8_t* LoadArchiveDirectory() {
  ArchiveHeader header;
  uint32_t blockSize;
  if (!CheckArchiveDirectory(State.PayloadImage, State.PayloadSize, &header, &blockSize))
    return nullptr;

  // The bounded decoder reads a compressed directory where it lies in the
  // payload, so no temporary copy of the stream is needed.
  uint8_t* block = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, blockSize));
  if (block == nullptr) return nullptr;
  if (!DecodeArchiveDirectory(State.PayloadImage, State.PayloadSize, block, blockSize)) {
    GlobalFree(block);
    return nullptr;
  }
  return block;
}
