// The branding options that `fa2 embed` and `fa2 build` share: --icon
// FILE.ico and --version KEY=VALUE (repeatable, in the host's encoding), and
// the reading of the icon file they name.
#ifndef FA2_COMMANDS_BRANDING_OPTIONS_H
#define FA2_COMMANDS_BRANDING_OPTIONS_H

#include "fa2/cli/options.h"
#include "fa2/pe/pe_branding.h"

// The options' entries for a command's option table.
#define FA2_BRANDING_OPTIONS {"--icon", 0, "a value"}, {"--version", 0, "a value"}

// The options' lines for a command's --help text, a literal so that each
// command's help is one constant.
#define FA2_BRANDING_HELP                                                            \
  "  --icon FILE.ico       the updater's icon: the images of FILE.ico replace\n"     \
  "                        the stub's icon\n"                                        \
  "  --version KEY=VALUE   a text of the version resource that Explorer shows;\n"    \
  "                        KEY is FileVersion, ProductVersion, ProductName,\n"       \
  "                        CompanyName, FileDescription or LegalCopyright, VALUE\n"  \
  "                        any text that CP932 can write. Repeat for each key;\n"    \
  "                        the keys given replace the stub's whole version\n"        \
  "                        resource, and a FileVersion or ProductVersion of up\n"    \
  "                        to four numbers (1.2.0.5) also sets its numeric form\n"

// Reads and checks the icon file and converts the version fields to CP932.
// Returns 0, or the exit code after it reported the error (naming the icon
// file, or the option for a bad version field).
int LoadBranding(const char* command, const ParsedArguments& arguments, UpdaterBranding* branding);

#endif
