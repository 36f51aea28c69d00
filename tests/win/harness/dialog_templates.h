// Reads the wizard's dialog templates back from a built program and compares
// them, field by field, with the layout the updater must have. Any program
// that carries the updater's resources can be checked: the test programs
// that link them (their own module) and the updater itself, loaded with
// LoadLibraryExA(..., LOAD_LIBRARY_AS_DATAFILE).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// A field that a template holds either as a 16-bit ordinal (0xFFFF, then
// the value) or as a NUL-terminated UTF-16 string (empty when absent).
struct TemplateName {
  bool isOrdinal = false;
  WORD ordinal = 0;
  std::u16string text;
};

// One DLGITEMTEMPLATEEX as it stands in the template.
struct TemplateControl {
  DWORD helpId = 0;
  DWORD exStyle = 0;
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  DWORD id = 0;
  TemplateName windowClass;
  TemplateName title;
  WORD extraCount = 0;
};

// The DLGTEMPLATEEX header (with its font fields) and its controls in order.
struct DialogTemplate {
  WORD dlgVer = 0;
  WORD signature = 0;
  DWORD helpId = 0;
  DWORD exStyle = 0;
  DWORD style = 0;
  WORD itemCount = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  TemplateName menu;
  TemplateName windowClass;
  TemplateName title;
  WORD pointSize = 0;
  WORD weight = 0;
  BYTE italic = 0;
  BYTE charset = 0;
  std::u16string typeface;
  std::vector<TemplateControl> controls;
};

// Parses an extended dialog template of `size` bytes. Returns 1 and fills
// `out`, or 0 with a reason in `error` when the bytes are not a well-formed
// DLGTEMPLATEEX (wrong version or signature, no DS_SETFONT, or any field,
// string or control running past the end). Never reads outside the bytes.
int ParseDialogTemplate(const void* data, size_t size, DialogTemplate* out,
                        std::string* error);

// Finds the Japanese (1041) RT_DIALOG resource `id` in `module` and parses
// it. Records a test failure and returns 0 when it is missing or malformed.
int LoadDialogTemplate(HMODULE module, WORD id, DialogTemplate* out);

// The wizard's two templates, 100 and 101, compared with the expected
// layout: header, font, and every control's id, class, text, position, size,
// style and order. Each template must exist in language 1041 only.
void ExpectUpdaterDialogTemplates(HMODULE module);

// The process manifest (RT_MANIFEST 1) requests administrator rights without
// UI access, the common controls of version 6 and DPI awareness, and
// declares the supported systems.
void ExpectUpdaterManifest(HMODULE module);

// Opens both templates as real dialogs (modal, closed from WM_INITDIALOG)
// and checks what the dialog manager made of them: window style, font face
// and the controls' texts read back in the ANSI code page.
void ExpectUpdaterDialogsOpen(HMODULE module);
