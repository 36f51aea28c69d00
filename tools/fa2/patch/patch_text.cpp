#include "fa2/patch/patch_text.h"

const char* DescribePatchProblem(ArchiveProblem why) {
  switch (why) {
    case kArchivePatchRecord:
      return "patch record is cut short, of an unknown version or method, or names a base over 2 GiB";
    case kArchivePatchFrame:
      return "patch frame is not one zstd frame of the file's size within a 2 GiB window";
    case kArchivePatchDamaged:
      return "patch does not decode against its base";
    case kArchivePatchMismatch:
      return "patch applied to its base does not give the file's XXH3-128";
    default:
      return "patch cannot be read";
  }
}
