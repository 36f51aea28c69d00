// 'fa2 build --convert-utf8': an UPDATE.INI saved as UTF-8 (what many editors
// do) rewritten as the CP932 text that the updater reads.
#ifndef FA2_CHECK_UPDATE_INI_ENCODING_H
#define FA2_CHECK_UPDATE_INI_ENCODING_H

#include <vector>

#include "fa2/archive/pack_files.h"

// When the source named UPDATE.INI is UTF-8 text with non-ASCII characters
// (a byte-order mark is dropped), rewrites that file as CP932 and updates its
// size in sources. Refused, naming the line, when a character has no CP932
// form; the file is then left as it is. Returns 1 (also when there was
// nothing to convert), or 0 after reporting why.
int ConvertUpdateIniToCp932(std::vector<PackSource>* sources);

#endif
