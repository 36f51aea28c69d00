// The free-space query: the run-time lookup of GetDiskFreeSpaceExA in the
// system folder's kernel32.dll and the fallback to the cluster counts of
// GetDiskFreeSpaceA. The platform calls are counted or faked through the
// program's import table.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "harness/import_patch.h"
#include "platform/disk_space.h"

namespace {

// What the stand-ins saw and what they answer.
struct Calls {
  int kernelLoads = 0;
  int frees = 0;
  int lookups = 0;
  bool failLoad = false;
  bool failLookup = false;
  bool fakeEx = false;  // GetProcAddress hands out FakeGetDiskFreeSpaceEx
  std::vector<std::string> exRoots;
  std::vector<bool> exThirdGiven;
  std::vector<std::string> oldRoots;
  BOOL oldResult = TRUE;
  HMODULE loaded = nullptr;
} calls;

// The real functions. The test's own calls go through the patched import
// table too, so the stand-ins call on through these.
decltype(&LoadLibraryA) RealLoadLibrary;
decltype(&FreeLibrary) RealFreeLibrary;
decltype(&GetProcAddress) RealGetProcAddress;

// kernel32.dll by its full path in the system folder: a bare name would be
// searched for, the updater's own folder first.
bool IsSystemKernel32(LPCSTR name) {
  char expected[MAX_PATH];
  UINT length = GetSystemDirectoryA(expected, MAX_PATH - 14);
  lstrcpyA(expected + length, "\\kernel32.dll");
  return length != 0 && lstrcmpiA(name, expected) == 0;
}

HMODULE WINAPI CountingLoadLibrary(LPCSTR name) {
  const std::string file = name;
  if (file.size() >= 12 && lstrcmpiA(file.c_str() + file.size() - 12, "kernel32.dll") == 0) {
    EXPECT_TRUE(IsSystemKernel32(name)) << "kernel32.dll loaded as " << name;
  }
  if (!IsSystemKernel32(name)) return RealLoadLibrary(name);
  ++calls.kernelLoads;
  if (calls.failLoad) return nullptr;
  calls.loaded = RealLoadLibrary(name);
  return calls.loaded;
}

BOOL WINAPI CountingFreeLibrary(HMODULE module) {
  if (module == calls.loaded) ++calls.frees;
  return RealFreeLibrary(module);
}

BOOL WINAPI FakeGetDiskFreeSpaceEx(LPCSTR root, PULARGE_INTEGER, PULARGE_INTEGER,
                                   PULARGE_INTEGER totalFree) {
  calls.exRoots.push_back(root);
  calls.exThirdGiven.push_back(totalFree != nullptr);
  return FALSE;
}

FARPROC WINAPI CountingGetProcAddress(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && lstrcmpA(name, "GetDiskFreeSpaceExA") == 0) {
    ++calls.lookups;
    if (calls.failLookup) return nullptr;
    if (calls.fakeEx) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeGetDiskFreeSpaceEx));
  }
  return RealGetProcAddress(module, name);
}

// A drive of 2,000,000 free and 3,000,000 total clusters of 8 × 512 bytes.
BOOL WINAPI FakeGetDiskFreeSpace(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                                 LPDWORD freeClusters, LPDWORD totalClusters) {
  calls.oldRoots.push_back(root);
  if (!calls.oldResult) return FALSE;
  *sectorsPerCluster = 8;
  *bytesPerSector = 512;
  *freeClusters = 2000000;
  *totalClusters = 3000000;
  return calls.oldResult;
}

void* Address(auto function) { return reinterpret_cast<void*>(function); }

class DiskSpaceQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    calls = Calls{};
    ResetDiskSpaceLookup();
    ASSERT_TRUE(loadPatch.active() && freePatch.active() && lookupPatch.active() &&
                oldCallPatch.active())
        << "the program does not import the functions the query uses";
    RealLoadLibrary = reinterpret_cast<decltype(RealLoadLibrary)>(loadPatch.original());
    RealFreeLibrary = reinterpret_cast<decltype(RealFreeLibrary)>(freePatch.original());
    RealGetProcAddress = reinterpret_cast<decltype(RealGetProcAddress)>(lookupPatch.original());
  }
  void TearDown() override { ResetDiskSpaceLookup(); }

  ImportPatch loadPatch{"kernel32.dll", "LoadLibraryA", Address(&CountingLoadLibrary)};
  ImportPatch freePatch{"kernel32.dll", "FreeLibrary", Address(&CountingFreeLibrary)};
  ImportPatch lookupPatch{"kernel32.dll", "GetProcAddress", Address(&CountingGetProcAddress)};
  ImportPatch oldCallPatch{"kernel32.dll", "GetDiskFreeSpaceA", Address(&FakeGetDiskFreeSpace)};
};

TEST(ClusterCountsToBytes, CarriesTheProductsBeyondThirtyTwoBits) {
  uint64_t freeToCaller = 0, total = 0, totalFree = 0;
  ClusterCountsToBytes(8, 512, 2000000, 3000000, &freeToCaller, &total, &totalFree);
  EXPECT_EQ(freeToCaller, 8192000000u);
  EXPECT_EQ(total, 12288000000u);
  EXPECT_EQ(totalFree, 8192000000u);

  ClusterCountsToBytes(64, 4096, 0xFFFFFFFF, 0xFFFFFFFF, &freeToCaller, &total, nullptr);
  EXPECT_EQ(freeToCaller, 0xFFFFFFFFull * 262144);
  EXPECT_EQ(total, 0xFFFFFFFFull * 262144);
}

TEST_F(DiskSpaceQuery, LooksTheEntryPointUpOnceAndReleasesKernel32Once) {
  uint64_t freeToCaller = 0, total = 0, totalFree = 0;
  ASSERT_NE(QueryDiskSpace("C:", &freeToCaller, &total, &totalFree), 0);
  EXPECT_EQ(calls.kernelLoads, 1);
  EXPECT_EQ(calls.lookups, 1);
  EXPECT_EQ(calls.frees, 1);
  EXPECT_GT(total, 0u);
  EXPECT_LE(freeToCaller, total);
  EXPECT_TRUE(calls.oldRoots.empty());

  ULARGE_INTEGER expectedTotal;
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:", nullptr, &expectedTotal, nullptr));
  EXPECT_EQ(total, expectedTotal.QuadPart);

  for (int i = 0; i < 3; ++i) ASSERT_NE(QueryDiskSpace("C:", &freeToCaller, &total, nullptr), 0);
  EXPECT_EQ(calls.kernelLoads, 1);
  EXPECT_EQ(calls.lookups, 1);
  EXPECT_EQ(calls.frees, 1);
}

TEST_F(DiskSpaceQuery, FallsBackForTheSameRootWhenTheNewCallFails) {
  calls.fakeEx = true;
  uint64_t freeToCaller = 0, total = 0, totalFree = 0;
  EXPECT_NE(QueryDiskSpace("Q:", &freeToCaller, &total, &totalFree), 0);
  EXPECT_EQ(calls.exRoots, std::vector<std::string>{"Q:"});
  EXPECT_EQ(calls.oldRoots, std::vector<std::string>{"Q:"});
  EXPECT_EQ(freeToCaller, 8192000000u);
  EXPECT_EQ(total, 12288000000u);
  EXPECT_EQ(totalFree, 8192000000u);

  // The third count is passed on as none, and the fallback writes none.
  EXPECT_NE(QueryDiskSpace("R:", &freeToCaller, &total, nullptr), 0);
  EXPECT_EQ(calls.exThirdGiven, (std::vector<bool>{true, false}));
  EXPECT_EQ(calls.kernelLoads, 1);  // the stand-in stays cached
  EXPECT_EQ(calls.frees, 1);

  calls.oldResult = FALSE;
  EXPECT_EQ(QueryDiskSpace("S:", &freeToCaller, &total, nullptr), 0);
}

TEST_F(DiskSpaceQuery, WithoutTheNewCallEveryQueryLooksAgainAndFallsBack) {
  calls.failLookup = true;
  uint64_t freeToCaller = 0, total = 0;
  for (int i = 1; i <= 2; ++i) {
    EXPECT_NE(QueryDiskSpace("C:", &freeToCaller, &total, nullptr), 0);
    EXPECT_EQ(calls.kernelLoads, i);
    EXPECT_EQ(calls.lookups, i);
    EXPECT_EQ(calls.frees, i);
    EXPECT_EQ(freeToCaller, 8192000000u);
  }
}

TEST_F(DiskSpaceQuery, WithoutKernel32ItAsksTheOldCallAndReleasesNothing) {
  calls.failLoad = true;
  uint64_t freeToCaller = 0, total = 0;
  EXPECT_NE(QueryDiskSpace("C:", &freeToCaller, &total, nullptr), 0);
  EXPECT_EQ(calls.lookups, 0);
  EXPECT_EQ(calls.frees, 0);
  EXPECT_EQ(calls.oldRoots, std::vector<std::string>{"C:"});
  EXPECT_EQ(total, 12288000000u);
}

}  // namespace
