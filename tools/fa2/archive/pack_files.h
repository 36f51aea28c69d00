// Packing files into an archive: the work of 'fa2 pack' and of the first step
// of 'fa2 build'. Every failure is reported (fa2/cli/report.h) naming its
// file; the functions return 1 on success and 0 after such a report.
#ifndef FA2_ARCHIVE_PACK_FILES_H
#define FA2_ARCHIVE_PACK_FILES_H

#include <cstdint>
#include <string>
#include <vector>

#include "fa2/archive/encoder.h"

// One file to pack.
struct PackSource {
  std::string path;  // as given or joined with its folder, for reading and messages
  std::string name;  // entry name, CP932
  uint64_t size;
  uint64_t lastWrite;
};

struct PackOptions {
  bool store = false;           // store every entry without compression
  bool plainDirectory = false;  // store the directory without compression
  int level = kCompressLevelDefault;
  bool haveTime = false;  // give every entry lastWrite instead of its file's time
  uint64_t lastWrite = 0;
  const char* progressLabel = "fa2 pack";  // what the progress line on a terminal says
  // Patch entries (fa2/patch/patch_pack.h): the earlier versions' folders,
  // and whether every full entry stays beside the patches.
  std::vector<std::string> from;
  bool keepFull = false;
};

// What was packed, counted as 'fa2 list' counts it.
struct PackTotals {
  size_t entries = 0;        // patch entries included
  size_t patches = 0;
  uint64_t unpacked = 0;     // the entries' unpacked sizes
  uint64_t stored = 0;       // their stored sizes
  uint64_t archiveSize = 0;  // the whole archive, header and directory included
};

// Turns files and folders into the list of files to pack, in the order given,
// a folder adding its regular files sorted by name (its sub-folders are named
// in a warning). Every name and size is checked before anything is read: a
// name that CP932 cannot write or that is too long, two names the updater
// cannot tell apart, a file of 4 GiB or more. Warns when UPDATE.INI is not
// among them. options.haveTime gives every source that time.
int CollectPackSources(const std::vector<std::string>& inputs, const PackOptions& options,
                       std::vector<PackSource>* sources);

// Packs the sources into the archive file at path, with the patch entries
// of options.from after the full entries, which leave out the files that
// every earlier version has a patch for (unless options.keepFull). The archive is written
// under a temporary name beside it and takes its real name only when it is
// complete, so that a failure never leaves a broken archive.
int PackToFile(const std::string& path, const std::vector<PackSource>& sources,
               const PackOptions& options, PackTotals* totals);

// Packs the sources into an archive in memory; label names it in messages.
int PackToMemory(const std::string& label, const std::vector<PackSource>& sources,
                 const PackOptions& options, std::vector<uint8_t>* archive, PackTotals* totals);

#endif
