// The updater's resources, read back from this program, which links the same
// resource object as the updater: the wizard's two dialog templates byte by
// byte, the process manifest, and the templates opened as real dialogs.
#include "harness/dialog_templates.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

HMODULE Self() { return GetModuleHandleA(nullptr); }

// Copies template `id` of this program into a buffer of its own, so that a
// test can damage it.
std::vector<BYTE> TemplateBytes(WORD id) {
  HRSRC info = FindResourceExA(Self(), reinterpret_cast<LPCSTR>(RT_DIALOG),
                               MAKEINTRESOURCEA(id), 1041);
  if (!info) return {};
  const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(Self(), info)));
  if (!bytes) return {};
  return std::vector<BYTE>(bytes, bytes + SizeofResource(Self(), info));
}

TEST(DialogTemplates, MatchTheWizardLayout) { ExpectUpdaterDialogTemplates(Self()); }

TEST(DialogTemplates, ManifestRequiresAdministrator) { ExpectUpdaterManifest(Self()); }

TEST(DialogTemplates, OpenAsDialogs) { ExpectUpdaterDialogsOpen(Self()); }

// The program's icon holds its images as PNG: each size loads as itself.
TEST(DialogTemplates, IconLoadsAtEachSize) {
  for (int size : {16, 32, 48}) {
    HICON icon = static_cast<HICON>(
        LoadImageA(Self(), MAKEINTRESOURCEA(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
    BITMAP colour = {};
    ASSERT_NE(info.hbmColor, nullptr) << size;
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, size);
    EXPECT_EQ(colour.bmHeight, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

// The way the built updater is checked: mapped as a data file, not run.
TEST(DialogTemplates, CheckedInAProgramLoadedAsData) {
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  ExpectUpdaterDialogTemplates(module);
  ExpectUpdaterManifest(module);
  ExpectUpdaterDialogsOpen(module);
  FreeLibrary(module);
}

// A template damaged anywhere (here: cut short at every length) must end as
// a failed parse, never as a read past the resource: the checker is also
// run on programs written by the payload embedder.
TEST(DialogTemplates, ParserRejectsCutTemplates) {
  for (WORD id : {100, 101}) {
    std::vector<BYTE> bytes = TemplateBytes(id);
    ASSERT_FALSE(bytes.empty());
    DialogTemplate parsed;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(bytes.data(), bytes.size(), &parsed, &error)) << error;
    for (size_t length = 0; length < bytes.size(); length++) {
      // A buffer of exactly `length` bytes, so nothing valid lies beyond it.
      std::vector<BYTE> cut(bytes.begin(), bytes.begin() + length);
      EXPECT_FALSE(ParseDialogTemplate(cut.data(), cut.size(), &parsed, &error))
          << "template " << id << " cut to " << length << " bytes";
    }
  }
}

TEST(DialogTemplates, ParserRejectsOtherTemplateKinds) {
  std::vector<BYTE> bytes = TemplateBytes(100);
  ASSERT_GE(bytes.size(), 4u);
  DialogTemplate parsed;
  std::string error;

  std::vector<BYTE> plain = bytes;  // a DLGTEMPLATE starts with its style
  plain[0] = 0xC0;
  plain[1] = 0x08;
  EXPECT_FALSE(ParseDialogTemplate(plain.data(), plain.size(), &parsed, &error));

  // A control count larger than the controls present runs past the end.
  std::vector<BYTE> extra = bytes;
  extra[16] = static_cast<BYTE>(extra[16] + 1);
  EXPECT_FALSE(ParseDialogTemplate(extra.data(), extra.size(), &parsed, &error));
}

}  // namespace
