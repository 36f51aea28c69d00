#include "harness/dialog_templates.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// ---------------------------------------------------------------------------
// What the templates must hold.

constexpr WORD kLanguageJapanese = 1041;
constexpr DWORD kWizardStyle = 0x90C808C0;
constexpr WORD kButton = 0x0080;
constexpr WORD kEdit = 0x0081;
constexpr WORD kStatic = 0x0082;

struct ExpectedControl {
  DWORD id;
  WORD classAtom;
  const char16_t* text;  // as stored in the template
  const char* ansiText;  // the same text read back in code page 932
  short x, y, cx, cy;
  DWORD style;
};

struct ExpectedDialog {
  WORD id;
  short cx, cy;
  const ExpectedControl* controls;
  size_t controlCount;
};

// Template order, which is also the tab order.
const ExpectedControl kControls100[] = {
    {1, kButton, u"次へ", "次へ", 143, 72, 44, 14, 0x50010001},
    {2, kButton, u"中止", "中止", 196, 72, 44, 14, 0x50010000},
    {4, kButton, u"戻る", "戻る", 99, 72, 44, 14, 0x50010000},
    {1001, kStatic, u"Info", "Info", 16, 16, 214, 26, 0x50020000},
};

const ExpectedControl kControls101[] = {
    {1, kButton, u"次へ", "次へ", 258, 202, 44, 14, 0x50010001},
    {2, kButton, u"中止", "中止", 311, 202, 44, 14, 0x50010000},
    {4, kButton, u"戻る", "戻る", 214, 202, 44, 14, 0x50010000},
    {1001, kStatic, u"Info", "Info", 16, 9, 331, 65, 0x50020000},
    {1000, kEdit, u"", "", 6, 81, 351, 92, 0x50A00004},
    {1002, kButton, u"同意する", "同意する", 10, 177, 225, 10, 0x50000004},
    {1003, kButton, u"同意しない", "同意しない", 10, 189, 225, 10, 0x50000004},
};

const ExpectedDialog kDialogs[] = {
    {100, 247, 93, kControls100, sizeof kControls100 / sizeof kControls100[0]},
    {101, 364, 222, kControls101, sizeof kControls101 / sizeof kControls101[0]},
};

const char16_t kTypeface[] = u"ＭＳ Ｐゴシック";

// ---------------------------------------------------------------------------
// Template parser.

// Reads little-endian fields from a byte range. A read past the end sets
// `ok` to false and yields zeros, so a damaged template ends as a failed
// parse instead of a read outside the resource.
struct Reader {
  const BYTE* base;
  size_t size;
  size_t pos = 0;
  bool ok = true;

  bool Has(size_t n) {
    if (ok && size - pos >= n) return true;
    ok = false;
    pos = size;
    return false;
  }
  BYTE Byte() { return Has(1) ? base[pos++] : 0; }
  WORD Word() {
    if (!Has(2)) return 0;
    WORD v = static_cast<WORD>(base[pos] | base[pos + 1] << 8);
    pos += 2;
    return v;
  }
  DWORD Dword() {
    DWORD lo = Word();
    return lo | static_cast<DWORD>(Word()) << 16;
  }
  short Short() { return static_cast<short>(Word()); }
  std::u16string String() {
    std::u16string s;
    for (;;) {
      WORD c = Word();
      if (!ok || c == 0) return s;
      s.push_back(static_cast<char16_t>(c));
    }
  }
  TemplateName Name() {
    TemplateName n;
    if (!Has(2)) return n;
    WORD first = static_cast<WORD>(base[pos] | base[pos + 1] << 8);
    if (first == 0xFFFF) {
      pos += 2;
      n.isOrdinal = true;
      n.ordinal = Word();
    } else {
      n.text = String();
    }
    return n;
  }
  // Controls start on DWORD boundaries of the template.
  void AlignDword() {
    size_t padding = (4 - pos % 4) % 4;
    if (Has(padding)) pos += padding;
  }
};

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

std::string Describe(const TemplateName& n) {
  if (n.isOrdinal) return "ordinal " + std::to_string(n.ordinal);
  return "string of " + std::to_string(n.text.size()) + " characters";
}

}  // namespace

int ParseDialogTemplate(const void* data, size_t size, DialogTemplate* out,
                        std::string* error) {
  Reader r{static_cast<const BYTE*>(data), size};
  DialogTemplate d;
  d.dlgVer = r.Word();
  d.signature = r.Word();
  if (!r.ok) return Fail(error, "template shorter than its header");
  if (d.dlgVer != 1 || d.signature != 0xFFFF)
    return Fail(error, "not an extended dialog template");
  d.helpId = r.Dword();
  d.exStyle = r.Dword();
  d.style = r.Dword();
  d.itemCount = r.Word();
  d.x = r.Short();
  d.y = r.Short();
  d.cx = r.Short();
  d.cy = r.Short();
  d.menu = r.Name();
  d.windowClass = r.Name();
  d.title = r.Name();
  // The font fields are there only when the style asks for a font.
  if (d.style & DS_SETFONT) {
    d.pointSize = r.Word();
    d.weight = r.Word();
    d.italic = r.Byte();
    d.charset = r.Byte();
    d.typeface = r.String();
  }
  if (!r.ok) return Fail(error, "dialog header runs past the end");

  for (WORD i = 0; i < d.itemCount; i++) {
    TemplateControl c;
    r.AlignDword();
    c.helpId = r.Dword();
    c.exStyle = r.Dword();
    c.style = r.Dword();
    c.x = r.Short();
    c.y = r.Short();
    c.cx = r.Short();
    c.cy = r.Short();
    c.id = r.Dword();
    c.windowClass = r.Name();
    c.title = r.Name();
    c.extraCount = r.Word();
    if (r.Has(c.extraCount)) r.pos += c.extraCount;
    if (!r.ok)
      return Fail(error, "control " + std::to_string(i) + " runs past the end");
    d.controls.push_back(std::move(c));
  }
  *out = std::move(d);
  return 1;
}

int LoadDialogTemplate(HMODULE module, WORD id, DialogTemplate* out) {
  HRSRC info = FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_DIALOG),
                               MAKEINTRESOURCEA(id), kLanguageJapanese);
  if (!info) {
    ADD_FAILURE() << "no Japanese dialog template " << id;
    return 0;
  }
  HGLOBAL loaded = LoadResource(module, info);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  DWORD size = SizeofResource(module, info);
  if (!bytes || size == 0) {
    ADD_FAILURE() << "dialog template " << id << " cannot be loaded";
    return 0;
  }
  std::string error;
  if (!ParseDialogTemplate(bytes, size, out, &error)) {
    ADD_FAILURE() << "dialog template " << id << ": " << error;
    return 0;
  }
  return 1;
}

namespace {

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language,
                              LONG_PTR list) {
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
  return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR list) {
  // Named (string) dialogs are recorded as 0, which no expected id matches.
  WORD id = IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<ULONG_PTR>(name)) : 0;
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(id);
  return TRUE;
}

void ExpectTemplate(HMODULE module, const ExpectedDialog& want) {
  SCOPED_TRACE("dialog template " + std::to_string(want.id));

  // One language only: another copy could be picked instead of the Japanese
  // one on a system with a different user interface language.
  std::vector<WORD> languages;
  EnumResourceLanguagesA(module, reinterpret_cast<LPCSTR>(RT_DIALOG),
                         MAKEINTRESOURCEA(want.id), CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  EXPECT_EQ(languages, std::vector<WORD>{kLanguageJapanese});

  DialogTemplate d;
  if (!LoadDialogTemplate(module, want.id, &d)) return;

  EXPECT_EQ(d.helpId, 0u);
  EXPECT_EQ(d.exStyle, 0u);
  EXPECT_EQ(d.style, kWizardStyle);
  EXPECT_EQ(d.cx, want.cx);
  EXPECT_EQ(d.cy, want.cy);
  EXPECT_FALSE(d.menu.isOrdinal) << "menu: " << Describe(d.menu);
  EXPECT_EQ(d.menu.text, u"");
  EXPECT_FALSE(d.windowClass.isOrdinal) << "class: " << Describe(d.windowClass);
  EXPECT_EQ(d.windowClass.text, u"");
  EXPECT_FALSE(d.title.isOrdinal);
  EXPECT_EQ(d.title.text, u"UPDATE");
  EXPECT_EQ(d.pointSize, 10);
  EXPECT_EQ(d.weight, 0);
  EXPECT_EQ(d.italic, 0);
  EXPECT_EQ(d.charset, 0);
  EXPECT_EQ(d.typeface, kTypeface);

  ASSERT_EQ(d.itemCount, want.controlCount);
  ASSERT_EQ(d.controls.size(), want.controlCount);
  for (size_t i = 0; i < want.controlCount; i++) {
    const ExpectedControl& w = want.controls[i];
    const TemplateControl& c = d.controls[i];
    SCOPED_TRACE("control " + std::to_string(i) + ", expected id " +
                 std::to_string(w.id));
    EXPECT_EQ(c.id, w.id);
    EXPECT_EQ(c.helpId, 0u);
    EXPECT_EQ(c.exStyle, 0u);
    EXPECT_EQ(c.style, w.style) << std::hex << "got 0x" << c.style
                                << ", expected 0x" << w.style;
    EXPECT_EQ(c.x, w.x);
    EXPECT_EQ(c.y, w.y);
    EXPECT_EQ(c.cx, w.cx);
    EXPECT_EQ(c.cy, w.cy);
    EXPECT_TRUE(c.windowClass.isOrdinal)
        << "class: " << Describe(c.windowClass);
    EXPECT_EQ(c.windowClass.ordinal, w.classAtom);
    EXPECT_FALSE(c.title.isOrdinal) << "title: " << Describe(c.title);
    EXPECT_EQ(c.title.text, w.text);
    EXPECT_EQ(c.extraCount, 0);
  }
}

// What the dialog procedure saw of one dialog.
struct OpenedDialog {
  WORD id = 0;
  DWORD style = 0;
  std::u16string fontFace;
  std::vector<std::string> ansiTexts;  // one per expected control
  std::vector<bool> present;
  int childCount = 0;
};

BOOL CALLBACK CountChild(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

const ExpectedDialog* FindExpected(WORD id) {
  for (const ExpectedDialog& d : kDialogs)
    if (d.id == id) return &d;
  return nullptr;
}

// Collects what it needs once the dialog is on screen (the message posted
// from WM_INITDIALOG arrives after the dialog manager has shown it), then
// ends the dialog with its template id.
INT_PTR CALLBACK ObserveDialog(HWND dialog, UINT message, WPARAM, LPARAM lp) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lp);
    PostMessageA(dialog, WM_APP, 0, 0);
    return TRUE;
  }
  if (message != WM_APP) return FALSE;

  auto* seen = reinterpret_cast<OpenedDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  seen->style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  LOGFONTW logFont{};
  if (font && GetObjectW(font, sizeof logFont, &logFont))
    seen->fontFace.assign(reinterpret_cast<const char16_t*>(logFont.lfFaceName));
  EnumChildWindows(dialog, CountChild, reinterpret_cast<LPARAM>(&seen->childCount));

  const ExpectedDialog* want = FindExpected(seen->id);
  for (size_t i = 0; want && i < want->controlCount; i++) {
    char text[256] = {};
    int id = static_cast<int>(want->controls[i].id);
    seen->present.push_back(GetDlgItem(dialog, id) != nullptr);
    GetDlgItemTextA(dialog, id, text, sizeof text);
    seen->ansiTexts.push_back(text);
  }
  EndDialog(dialog, seen->id);
  return TRUE;
}

}  // namespace

void ExpectUpdaterDialogTemplates(HMODULE module) {
  for (const ExpectedDialog& want : kDialogs) ExpectTemplate(module, want);

  std::vector<WORD> ids;
  EnumResourceNamesA(module, reinterpret_cast<LPCSTR>(RT_DIALOG), CollectName,
                     reinterpret_cast<LONG_PTR>(&ids));
  EXPECT_EQ(ids, (std::vector<WORD>{100, 101})) << "the dialogs of the program";
}

void ExpectUpdaterManifest(HMODULE module) {
  HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(1),
                             reinterpret_cast<LPCSTR>(RT_MANIFEST));
  ASSERT_NE(info, nullptr) << "no process manifest";
  HGLOBAL loaded = LoadResource(module, info);
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  ASSERT_NE(bytes, nullptr);
  std::string manifest(bytes, SizeofResource(module, info));

  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"requireAdministrator\" "
                          "uiAccess=\"false\"/>"),
            std::string::npos)
      << manifest;
  EXPECT_EQ(manifest.find("asInvoker"), std::string::npos);
  EXPECT_EQ(manifest.find("highestAvailable"), std::string::npos);
  // Visual styles and DPI awareness.
  for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                           ">true/pm</dpiAware>", ">PerMonitorV2, PerMonitor</dpiAwareness>"})
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  // Vista, 7, 8, 8.1 and 10/11.
  for (const char* os : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                         "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                         "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                         "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                         "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
    EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + os + "\"/>"),
              std::string::npos)
        << os;
}

void ExpectUpdaterDialogsOpen(HMODULE module) {
  for (const ExpectedDialog& want : kDialogs) {
    SCOPED_TRACE("dialog " + std::to_string(want.id));
    OpenedDialog seen;
    seen.id = want.id;
    // The updater runs its wizard with the ANSI entry point; so does this.
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(want.id), nullptr,
                                     ObserveDialog, reinterpret_cast<LPARAM>(&seen));
    ASSERT_EQ(result, want.id) << "the dialog did not open (error "
                               << GetLastError() << ")";
    // The window manager adds WS_CLIPSIBLINGS to a captioned top-level
    // window and DS_3DLOOK to every dialog; nothing else may differ from
    // the template.
    const DWORD added = WS_CLIPSIBLINGS | DS_3DLOOK;
    EXPECT_EQ(seen.style & ~added, kWizardStyle)
        << std::hex << "got 0x" << seen.style;
    EXPECT_EQ(seen.fontFace, kTypeface);
    EXPECT_EQ(seen.childCount, static_cast<int>(want.controlCount));
    ASSERT_EQ(seen.ansiTexts.size(), want.controlCount);
    for (size_t i = 0; i < want.controlCount; i++) {
      SCOPED_TRACE("control " + std::to_string(want.controls[i].id));
      EXPECT_TRUE(seen.present[i]);
      EXPECT_EQ(seen.ansiTexts[i], want.controls[i].ansiText);
    }
  }
}
