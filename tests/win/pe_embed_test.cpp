// Updaters made by the PE resource writer, checked by the platform itself:
// the resource functions find the payload and every other resource, the
// image checker agrees with the checksum, and the loader starts the program,
// which reads its own payload.
#include <gtest/gtest.h>
#include <windows.h>
#include <imagehlp.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fa2/pe/pe_resources.h"
#include "harness/test_env.h"

namespace {

std::string Payload(size_t size, uint32_t seed) {
  std::string s(size, '\0');
  for (auto& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  s.replace(0, 4, std::string(kArchiveMagic, sizeof kArchiveMagic));
  return s;
}

uint32_t Fnv1a(const std::string& bytes) {
  uint32_t hash = 2166136261u;
  for (unsigned char c : bytes) hash = (hash ^ c) * 16777619u;
  return hash;
}

// What the helper program returns when it read exactly these bytes.
DWORD ExpectedExitCode(const std::string& payload) { return 0x10000 | (Fnv1a(payload) & 0xFFFF); }

std::string Embed(const std::string& stub, const std::string& payload) {
  std::vector<uint8_t> out;
  std::string error;
  if (!EmbedUpdatePayload(reinterpret_cast<const uint8_t*>(stub.data()), stub.size(),
                          reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), &out,
                          &error))
    throw std::runtime_error("embed failed: " + error);
  return std::string(out.begin(), out.end());
}

// A module loaded for its resources only, as the updater's tools see it.
struct ResourceModule {
  explicit ResourceModule(const std::string& path)
      : module(LoadLibraryExA(path.c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ResourceModule() {
    if (module) FreeLibrary(module);
  }
  std::optional<std::string> Bytes(const char* type, const char* name) const {
    HRSRC found = FindResourceA(module, name, type);
    if (!found) return std::nullopt;
    DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes) return std::nullopt;
    return std::string(bytes, size);
  }
  HMODULE module;
};

BOOL CALLBACK CountLanguage(HMODULE, LPCSTR, LPCSTR, WORD, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int LanguagesOfPayload(const ResourceModule& m) {
  int count = 0;
  EnumResourceLanguagesA(m.module, kPayloadResourceType, MAKEINTRESOURCEA(kPayloadResourceId),
                         CountLanguage, reinterpret_cast<LONG_PTR>(&count));
  return count;
}

// Runs the program and returns its exit code, or a value no program here
// returns when it cannot be started or does not end within a minute.
DWORD RunProgram(const std::string& commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "CreateProcessA failed with error %lu: %s\n", GetLastError(),
                 commandLine.c_str());
    return 0xDEAD0001;
  }
  DWORD code = 0xDEAD0002;
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// Every resource of the helper that is not the payload, by type and name.
const std::vector<std::pair<const char*, const char*>> kOtherResources = {
    {MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(100)},   // dialog
    {MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1)},    // manifest
    {MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1)},    // version
    {MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(1)},     // strings 0..15
    {"MYDATA", "BLOB"},
};

// Checks an updater file as the platform sees it: the payload and the other
// resources through the resource functions, the checksum through the image
// checker, and a run of the program.
void ExpectWorkingUpdater(const std::string& path, const std::string& payload) {
  std::string file = ReadBytes(path);
  ASSERT_FALSE(file.empty()) << path;
  ResourceModule updater(path), helper(PE_EMBED_HELPER);
  ASSERT_NE(updater.module, nullptr) << GetLastError();
  ASSERT_NE(helper.module, nullptr);
  EXPECT_EQ(updater.Bytes(kPayloadResourceType, MAKEINTRESOURCEA(kPayloadResourceId)), payload);
  EXPECT_NE(FindResourceExA(updater.module, kPayloadResourceType,
                            MAKEINTRESOURCEA(kPayloadResourceId), kPayloadResourceLanguage),
            nullptr);
  EXPECT_EQ(LanguagesOfPayload(updater), 1);
  for (const auto& [type, name] : kOtherResources) {
    std::optional<std::string> original = helper.Bytes(type, name);
    ASSERT_TRUE(original.has_value());
    EXPECT_EQ(updater.Bytes(type, name), original);
  }

  DWORD headerSum = 0, checkSum = 0;
  IMAGE_NT_HEADERS* headers =
      CheckSumMappedFile(file.data(), static_cast<DWORD>(file.size()), &headerSum, &checkSum);
  ASSERT_NE(headers, nullptr);
  EXPECT_EQ(headerSum, checkSum);
  EXPECT_NE(checkSum, 0u);

  EXPECT_EQ(RunProgram("\"" + path + "\""), ExpectedExitCode(payload));
}

TEST(PeEmbedUnderWine, TheHelperRunsAndHasNoPayload) {
  EXPECT_EQ(RunProgram("\"" PE_EMBED_HELPER "\""), 3u);
}

TEST(PeEmbedUnderWine, EmbeddedPayloadIsFoundLoadedAndRead) {
  ScratchDir dir;
  std::string stub = ReadBytes(PE_EMBED_HELPER);
  ASSERT_FALSE(stub.empty());
  std::string payload = Payload(300000, 1);
  ASSERT_TRUE(WriteBytes(dir.file("updater.exe"), Embed(stub, payload)));
  ExpectWorkingUpdater(dir.file("updater.exe"), payload);
}

// The second payload goes into the section the first one made, and the
// third, smaller one shrinks it: each time one payload, in one language.
TEST(PeEmbedUnderWine, PayloadIsReplacedNotAdded) {
  ScratchDir dir;
  std::string stub = ReadBytes(PE_EMBED_HELPER);
  ASSERT_FALSE(stub.empty());
  std::string updater = stub;
  int round = 0;
  for (const std::string& payload : {Payload(1000, 2), Payload(700000, 3), Payload(17, 4)}) {
    updater = Embed(updater, payload);
    // Each round's program in a file of its own: a program file rewritten
    // right after a process of it has ended may still be mapped by wine's
    // server for a moment, and then cannot be started.
    const std::string path = dir.file("updater" + std::to_string(++round) + ".exe");
    ASSERT_TRUE(WriteBytes(path, updater));
    ExpectWorkingUpdater(path, payload);
  }
}

#ifdef FA2_EXE
// fa2.exe itself: embed, then list and verify the updater as an archive.
TEST(PeEmbedUnderWine, Fa2ExeEmbedsAndReadsTheUpdaterBack) {
  ScratchDir dir;
  const std::string fa2 = "\"" FA2_EXE "\"";
  ASSERT_TRUE(WriteBytes(dir.file("a.txt"), "first file\r\n"));
  ASSERT_TRUE(WriteBytes(dir.file("b.bin"), Payload(50000, 5)));
  ASSERT_EQ(RunProgram(fa2 + " pack -o \"" + dir.file("update.fa2") + "\" \"" + dir.file("a.txt") +
                       "\" \"" + dir.file("b.bin") + "\""),
            0u);
  // The archive is no update (no UPDATE.INI): --force past the check.
  ASSERT_EQ(RunProgram(fa2 + " embed --force \"" PE_EMBED_HELPER "\" \"" + dir.file("update.fa2") +
                       "\" -o \"" + dir.file("updater.exe") + "\""),
            0u);
  ExpectWorkingUpdater(dir.file("updater.exe"), ReadBytes(dir.file("update.fa2")));
  EXPECT_EQ(RunProgram(fa2 + " verify \"" + dir.file("updater.exe") + "\""), 0u);
  EXPECT_EQ(RunProgram(fa2 + " list \"" + dir.file("updater.exe") + "\""), 0u);
  // The stub has no payload: there is no archive to read in it.
  EXPECT_EQ(RunProgram(fa2 + " list \"" PE_EMBED_HELPER "\""), 1u);
}
#endif

// An updater made by the Linux build of fa2 (see native_fa2_embed.cmake,
// which sets the two variables and runs only this test).
TEST(PeEmbedUnderWine, NativeFa2OutputRuns) {
  const char* updater = std::getenv("NATIVE_FA2_UPDATER");
  const char* archive = std::getenv("NATIVE_FA2_ARCHIVE");
  if (!updater || !archive) GTEST_SKIP() << "run by native_fa2_embed.cmake";
  std::string payload = ReadBytes(HostPath(archive));
  ASSERT_FALSE(payload.empty());
  ExpectWorkingUpdater(HostPath(updater), payload);
}

}  // namespace
