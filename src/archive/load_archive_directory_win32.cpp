#include <windows.h>

#include "archive/archive_directory_win32.h"
#include "archive/archive_reader.h"
#include "common/updater_state_win32.h"

uint8_t* LoadArchiveDirectory() {
  State.Archive = ArchiveReader{};
  uint32_t blockSize;
  ArchiveProblem why;
  if (!ArchiveBlockSize(State.PayloadImage, State.PayloadSize, 0, &blockSize, &why))
    return nullptr;
  void* block = GlobalAlloc(GMEM_FIXED, blockSize);
  if (block == nullptr) return nullptr;
  if (!OpenArchive(&State.Archive, State.PayloadImage, State.PayloadSize, 0, block, blockSize,
                   &why)) {
    GlobalFree(block);
    State.Archive = ArchiveReader{};
    return nullptr;
  }
  return static_cast<uint8_t*>(block);
}
