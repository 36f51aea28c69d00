// QueryDiskSpace: how much room a drive has, in 64-bit byte counts.
#ifndef PLATFORM_DISK_SPACE_H
#define PLATFORM_DISK_SPACE_H

#include <windows.h>

#include <cstdint>

// Fills the free bytes available to the caller, the drive's total bytes and,
// when totalFree is not null, the total free bytes of the drive at root (a
// drive letter and a colon, e.g. "C:"). Returns nonzero on success and 0 on
// failure; after a failure the counts carry no figure.
//
// GetDiskFreeSpaceExA is looked up in kernel32.dll (loaded by its full path in
// the system folder) at run time, because the oldest systems do not have it. The entry point is kept once found; the module
// handle taken for the lookup is released before the call returns. When the
// entry point is missing or fails for root, GetDiskFreeSpaceA answers for the
// same root, its cluster counts multiplied out in 64 bits.
int QueryDiskSpace(const char* root, uint64_t* freeToCaller, uint64_t* totalBytes,
                   uint64_t* totalFree);

// The answer of GetDiskFreeSpaceA in bytes. The bytes per cluster are a 32-bit
// product, as the platform defines them; each cluster count is multiplied by
// it in full 64 bits, so a drive of 2,000,000 free clusters of 8 sectors of
// 512 bytes has 8,192,000,000 free bytes. That API knows no quotas, so the
// total free bytes (written only when totalFree is not null) are the free
// bytes available to the caller.
void ClusterCountsToBytes(DWORD sectorsPerCluster, DWORD bytesPerSector, DWORD freeClusters,
                          DWORD totalClusters, uint64_t* freeToCaller, uint64_t* totalBytes,
                          uint64_t* totalFree);

// The bytes of one allocation unit (cluster) of the drive (a drive letter and
// a colon, e.g. "C:"), which every file takes whole; 1 when the drive cannot
// be asked.
uint32_t QueryClusterSize(const char* drive);

// Forgets the entry point of GetDiskFreeSpaceExA, as at process start. For
// tests, which watch the lookup.
void ResetDiskSpaceLookup();

#endif
