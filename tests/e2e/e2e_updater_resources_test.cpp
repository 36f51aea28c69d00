// The resources of the built updater itself, not of a test program that
// links the same resource object: the wizard's templates, byte by byte and
// opened as dialogs, and the manifest; all of them still in place once a
// payload has been embedded; and the icon and version texts, the stub's own
// and a publisher's, as Explorer reads them.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <map>

#include "common/updater_contract.h"
#include "fa2/pe/pe_branding.h"

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
  EXPECT_NE(FindResourceExA(module, kPayloadResourceType,
                            MAKEINTRESOURCEA(kPayloadResourceId), kPayloadResourceLanguage), nullptr);
  FreeLibrary(module);
}

// An .ico file of one 32x32 bitmap image of 32 bits a pixel, all one colour.
std::vector<uint8_t> OneColourIcon(uint32_t colour) {
  const uint32_t side = 32, pixels = side * side * 4, mask = side * 4;
  std::vector<uint8_t> f(6 + 16 + 40 + pixels + mask, 0);
  auto put = [&](size_t at, uint32_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; i++) f[at + i] = static_cast<uint8_t>(value >> (8 * i));
  };
  put(2, 1, 2);                                  // an icon file
  put(4, 1, 2);                                  // of one image
  put(6, side, 1);
  put(7, side, 1);
  put(10, 1, 2);                                 // planes
  put(12, 32, 2);                                // bits
  put(14, 40 + pixels + mask, 4);
  put(18, 22, 4);                                // its offset
  put(22, 40, 4);                                // BITMAPINFOHEADER
  put(26, side, 4);
  put(30, 2 * side, 4);                          // colour and mask rows
  put(34, 1, 2);
  put(36, 32, 2);
  for (uint32_t i = 0; i < side * side; i++) put(62 + 4 * i, colour, 4);
  return f;
}

// A version text as VerQueryValueA gives it, or "(none)".
std::string VersionText(const std::vector<char>& info, const std::string& key) {
  char* value = nullptr;
  UINT length = 0;
  std::string path = "\\StringFileInfo\\041103a4\\" + key;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) ||
      !value)
    return "(none)";
  return std::string(value, length && value[length - 1] == 0 ? length - 1 : length);
}

// The updater's icon as Explorer loads it (the first icon group, in the
// large size) and the colour of its centre pixel.
void ReadIcon(const std::string& path, int* groups, int* width, uint32_t* centre) {
  *groups = static_cast<int>(ExtractIconExA(path.c_str(), -1, nullptr, nullptr, 0));
  HICON large = nullptr;
  *width = 0;
  *centre = 0;
  if (ExtractIconExA(path.c_str(), 0, &large, nullptr, 1) != 1 || !large) return;
  ICONINFO info{};
  if (GetIconInfo(large, &info)) {
    BITMAP bitmap{};
    GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
    *width = bitmap.bmWidth;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmColor);
    *centre = GetPixel(dc, bitmap.bmWidth / 2, bitmap.bmHeight / 2) & 0xFFFFFF;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
  DestroyIcon(large);
}

// The stub's own icon and version, then a publisher's, read back with the
// platform's calls: the texts in the ANSI code page (CP932), the numeric
// versions, and the icon.
TEST(UpdaterResources, IconAndVersionAsExplorerReadsThem) {
  const uint32_t red = 0x0000FF;  // GetPixel's order: blue, green, red
  struct Case {
    const char* what;
    std::vector<VersionField> fields;
    bool icon;
    std::map<std::string, std::string> texts;
    DWORD fileVersionHigh, productVersionHigh, productVersionLow;
    int iconWidth;
  } cases[] = {
      {"the stub", {}, false,
       {{"FileDescription", "アップデータ"}, {"FileVersion", "1.0.0.0"}, {"ProductName", "(none)"}},
       0x00010000, 0x00010000, 0, 32},
      {"icon and every key",
       {{"ProductName", "星の庭"},
        {"CompanyName", "ミナセソフト"},
        {"FileVersion", "1.02"},
        {"ProductVersion", "1.2.0.7"},
        {"FileDescription", "「星の庭」アップデータ"},
        {"LegalCopyright", "(C) 2026 ミナセソフト"}},
       true,
       {{"ProductName", "星の庭"},
        {"CompanyName", "ミナセソフト"},
        {"FileVersion", "1.02"},
        {"ProductVersion", "1.2.0.7"},
        {"FileDescription", "「星の庭」アップデータ"},
        {"LegalCopyright", "(C) 2026 ミナセソフト"}},
       0x00010002, 0x00010002, 7, 32},
      {"a version text alone replaces the stub's and keeps its icon",
       {{"ProductVersion", "1.02 体験版"}}, false,
       {{"ProductVersion", "1.02 体験版"}, {"FileDescription", "(none)"}, {"FileVersion", "(none)"}},
       0, 0, 0, 32},
  };
  ScratchDir dir;
  std::string stubIcon = dir.file("stub.exe");
  ASSERT_TRUE(CopyUpdaterStub(stubIcon));
  int stubGroups = 0, stubWidth = 0;
  uint32_t stubCentre = 0;
  ReadIcon(stubIcon, &stubGroups, &stubWidth, &stubCentre);
  EXPECT_EQ(stubGroups, 1);
  EXPECT_NE(stubCentre, red);

  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string exe = dir.file("branded" + std::to_string(n++) + ".exe");
    UpdaterBranding branding;
    branding.Version = c.fields;
    if (c.icon) branding.Icon = OneColourIcon(0xFFFF0000);  // opaque red, as BGRA
    if (n == 1)
      ASSERT_TRUE(CopyUpdaterStub(exe));
    else
      ASSERT_TRUE(MakeUpdaterExe(MakeArchiveImage({{"UPDATE.INI", "[SETUP]\r\n"}}), exe,
                                 &branding));

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
    for (const auto& [key, text] : c.texts) EXPECT_EQ(VersionText(info, key), text) << key;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, c.fileVersionHigh);
    EXPECT_EQ(fixed->dwProductVersionMS, c.productVersionHigh);
    EXPECT_EQ(fixed->dwProductVersionLS, c.productVersionLow);
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 932);

    int groups = 0, width = 0;
    uint32_t centre = 0;
    ReadIcon(exe, &groups, &width, &centre);
    EXPECT_EQ(groups, 1);
    EXPECT_EQ(width, c.iconWidth);
    EXPECT_EQ(centre, c.icon ? red : stubCentre);
  }
}

}  // namespace
