// The resources of the built updater itself, not of a test program that
// links the same resource object: the wizard's templates, byte by byte and
// opened as dialogs, and the manifest; and all of them still in place once a
// payload has been embedded.
#include <gtest/gtest.h>
#include <windows.h>

#include "harness/dialog_templates.h"
#include "harness/test_env.h"
#include "updater_maker.h"

namespace {

void ExpectUpdaterResources(const std::string& path) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << path;
  ExpectUpdaterDialogTemplates(module);
  ExpectUpdaterManifest(module);
  ExpectUpdaterDialogsOpen(module);
  FreeLibrary(module);
}

TEST(UpdaterResources, TheStubCarriesTheWizardAndTheManifest) {
  ExpectUpdaterResources(UpdaterStubPath());
}

TEST(UpdaterResources, EmbeddingAPayloadKeepsThem) {
  ScratchDir dir;
  std::string exe = dir.file("update.exe");
  ASSERT_TRUE(MakeUpdaterExe(MakeArchiveImage({{"UPDATE.INI", "[SETUP]\r\n"}}), exe));
  ExpectUpdaterResources(exe);

  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(FindResourceExA(module, "UPDATE", MAKEINTRESOURCEA(102), 1041), nullptr);
  FreeLibrary(module);
}

}  // namespace
