/* The stub's feature record: its resource id, its tag, and the feature bits.
   The resource script writes the record, common/updater_contract.h names it
   for the updater and fa2; plain macros, so that the resource compiler's
   preprocessor reads this file as well. */
#ifndef COMMON_STUB_FEATURES_H
#define COMMON_STUB_FEATURES_H

#define UPDATER_STUB_FEATURES_ID      104
#define UPDATER_STUB_FEATURES_TAG     "FA2F"
/* The stub applies patch entries (archive/patch_format.h). */
#define UPDATER_STUB_FEATURE_PATCHES  1L

#endif
