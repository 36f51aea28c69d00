#include "platform/disk_space.h"

#include "platform/system_library.h"

namespace {

using GetDiskFreeSpaceExAProc = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                              PULARGE_INTEGER);

// Set by the first lookup that finds the entry point; kernel32.dll stays
// loaded for the life of the process, so the pointer stays good after the
// handle of the lookup is released. One thread only: no lock.
GetDiskFreeSpaceExAProc CachedGetDiskFreeSpaceEx = nullptr;

}  // namespace

void ClusterCountsToBytes(DWORD sectorsPerCluster, DWORD bytesPerSector, DWORD freeClusters,
                          DWORD totalClusters, uint64_t* freeToCaller, uint64_t* totalBytes,
                          uint64_t* totalFree) {
  DWORD bytesPerCluster = sectorsPerCluster * bytesPerSector;
  *freeToCaller = uint64_t{freeClusters} * bytesPerCluster;
  *totalBytes = uint64_t{totalClusters} * bytesPerCluster;
  if (totalFree) *totalFree = *freeToCaller;
}

uint32_t QueryClusterSize(const char* drive) {
  // This older call wants the root folder, "C:\\".
  const char root[] = {drive[0], drive[0] ? drive[1] : '\0', '\\', '\0'};
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &totalClusters)) {
    return 1;
  }
  const uint32_t cluster = sectorsPerCluster * bytesPerSector;
  return cluster ? cluster : 1;
}

void ResetDiskSpaceLookup() {
  CachedGetDiskFreeSpaceEx = nullptr;
}

int QueryDiskSpace(const char* root, uint64_t* freeToCaller, uint64_t* totalBytes,
                   uint64_t* totalFree) {
  HMODULE loaded = nullptr;
  if (!CachedGetDiskFreeSpaceEx) {
    loaded = LoadSystemLibrary("kernel32.dll");
    if (loaded) {
      CachedGetDiskFreeSpaceEx = reinterpret_cast<GetDiskFreeSpaceExAProc>(
          reinterpret_cast<void*>(GetProcAddress(loaded, "GetDiskFreeSpaceExA")));
    }
  }

  // ULARGE_INTEGER is a union over one 64-bit count, laid out as uint64_t.
  static_assert(sizeof(ULARGE_INTEGER) == sizeof(uint64_t));
  int result = 0;
  if (CachedGetDiskFreeSpaceEx) {
    result = CachedGetDiskFreeSpaceEx(root, reinterpret_cast<PULARGE_INTEGER>(freeToCaller),
                                      reinterpret_cast<PULARGE_INTEGER>(totalBytes),
                                      reinterpret_cast<PULARGE_INTEGER>(totalFree));
  }
  if (!result) {
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    result = GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                               &totalClusters);
    if (result) {
      ClusterCountsToBytes(sectorsPerCluster, bytesPerSector, freeClusters, totalClusters,
                           freeToCaller, totalBytes, totalFree);
    }
  }

  if (loaded) FreeLibrary(loaded);
  return result;
}
