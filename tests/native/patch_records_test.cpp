// Patch entries in an archive: made by fa2's patch maker, found beside (and
// never in place of) full entries, picked by their base, decoded against it,
// and every damaged record or frame refused with its reason.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/patch_frames.h"
#include "archive/patch_records.h"
#include "archive/payload_digest.h"
#include "fa2/archive/archive_writer.h"
#include "fa2/patch/patch_maker.h"

namespace {

std::vector<uint8_t> Noise(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random() % 64);  // compressible, not trivially
  return bytes;
}

// The base changed in a few scattered places, grown at the end.
std::vector<uint8_t> Changed(std::vector<uint8_t> bytes, uint32_t seed) {
  std::mt19937 random(seed);
  for (int i = 0; i < 20; ++i) bytes[random() % bytes.size()] ^= 0x55;
  bytes.insert(bytes.end(), 1000, 'x');
  return bytes;
}

struct Archive {
  std::vector<uint8_t> image;
  std::vector<uint64_t> block;
  ArchiveReader reader{};

  explicit Archive(const std::vector<PackedEntry>& entries) {
    std::string error;
    EXPECT_TRUE(BuildArchiveImage(entries, true, &image, &error)) << error;
    Open();
  }
  void Open() {
    uint32_t size = 0;
    ArchiveProblem why;
    ASSERT_TRUE(ArchiveBlockSize(image.data(), image.size(), 0, &size, &why));
    block.assign((size + 7) / 8, 0);
    ASSERT_TRUE(OpenArchive(&reader, image.data(), image.size(), 0, block.data(), size, &why));
  }
};

PackedEntry Patch(const char* name, const std::vector<uint8_t>& base,
                  const std::vector<uint8_t>& target) {
  PackedEntry entry;
  std::string error;
  EXPECT_TRUE(PackPatchEntry(name, 0x01DA000000000000ull, base.data(), base.size(), target.data(),
                             target.size(), 3, &entry, &error))
      << error;
  return entry;
}

PackedEntry Full(const char* name, const std::vector<uint8_t>& content) {
  PackedEntry entry;
  std::string error;
  EXPECT_TRUE(PackEntry(name, 0, content.data(), content.size(), false, &entry, &error)) << error;
  return entry;
}

struct Hash {
  uint8_t bytes[16];
  explicit Hash(const std::vector<uint8_t>& data) { DigestXxh3_128(data.data(), data.size(), bytes); }
};

}  // namespace

TEST(PatchRecords, PatchesArePickedByTheirBaseAndFullEntriesFoundAsBefore) {
  const std::vector<uint8_t> v1 = Noise(300000, 1), v2 = Noise(280000, 2);
  const std::vector<uint8_t> target = Changed(v1, 3);
  const std::vector<uint8_t> other = Noise(5000, 4);
  // The patches come first, so that a lookup that did not pass over them
  // would find a patch where it wants the file.
  Archive archive({Patch("GAME.DAT", v1, target), Patch("game.dat", v2, target),
                   Patch("OTHER.DAT", {}, other), Full("GAME.DAT", target)});
  const ArchiveReader* r = &archive.reader;
  EXPECT_TRUE(ArchiveHasPatches(r));

  uint32_t index = 99;
  ASSERT_TRUE(FindArchiveEntry(r, "game.DAT", &index));
  EXPECT_EQ(index, 3u);
  EXPECT_FALSE(FindArchiveEntry(r, "OTHER.DAT", &index));  // only a patch has that name
  std::vector<uint8_t> out(target.size());
  ArchiveProblem why;
  EXPECT_FALSE(ReadArchiveEntry(r, 0, out.data(), out.size(), &why));
  EXPECT_EQ(why, kArchiveEntryIsPatch);

  std::vector<uint32_t> found;
  for (uint32_t i = 0; NextArchivePatch(r, "Game.Dat", &i); ++i) found.push_back(i);
  EXPECT_EQ(found, (std::vector<uint32_t>{0, 1}));

  struct Case {
    const std::vector<uint8_t>* base;
    const char* name;
    const std::vector<uint8_t>* made;
    uint32_t index;
  } cases[] = {{&v1, "GAME.DAT", &target, 0}, {&v2, "GAME.DAT", &target, 1},
               {nullptr, "OTHER.DAT", &other, 2}};
  const std::vector<uint8_t> empty;
  for (const Case& c : cases) {
    const std::vector<uint8_t>& base = c.base ? *c.base : empty;
    uint32_t patch = 99;
    ASSERT_TRUE(FindArchivePatch(r, c.name, base.size(), Hash(base).bytes, &patch)) << c.name;
    EXPECT_EQ(patch, c.index);
    PatchRecord record;
    const uint8_t* frame;
    size_t frameSize;
    ASSERT_TRUE(ReadArchivePatch(r, patch, &record, &frame, &frameSize, &why));
    EXPECT_EQ(record.BaseSize, base.size());
    EXPECT_EQ(0, std::memcmp(record.NewHash, Hash(*c.made).bytes, 16));
    // The hook sees the output grow a block at a time, from nothing.
    std::vector<size_t> seen;
    auto note = [](void* context, size_t produced) {
      static_cast<std::vector<size_t>*>(context)->push_back(produced);
      return 1;
    };
    std::vector<uint8_t> made(c.made->size());
    ASSERT_TRUE(ApplyPatchFrame(frame, frameSize, base.data(), base.size(), made.data(),
                                made.size(), record.NewHash, &why, note, &seen))
        << why;
    EXPECT_EQ(made, *c.made);
    ASSERT_GE(seen.size(), (made.size() + kPatchBlockMaxOutput - 1) / kPatchBlockMaxOutput);
    EXPECT_EQ(seen.front(), 0u);
    for (size_t i = 1; i < seen.size(); ++i) {
      EXPECT_GE(seen[i], seen[i - 1]);
      EXPECT_LE(seen[i] - seen[i - 1], kPatchBlockMaxOutput);
    }
    EXPECT_LE(made.size() - seen.back(), kPatchBlockMaxOutput);
  }
  // A hook that says stop ends the decoding, neither as a success nor as a
  // fault of the patch.
  {
    PatchRecord record;
    const uint8_t* frame;
    size_t frameSize;
    ASSERT_TRUE(ReadArchivePatch(r, 0, &record, &frame, &frameSize, &why));
    int calls = 0;
    auto stopSecond = [](void* context, size_t) -> int { return ++*static_cast<int*>(context) < 2; };
    EXPECT_FALSE(ApplyPatchFrame(frame, frameSize, v1.data(), v1.size(), out.data(), out.size(),
                                 record.NewHash, &why, stopSecond, &calls));
    EXPECT_EQ(why, kArchiveOk);
    EXPECT_EQ(calls, 2);
  }
  // The patch from v1 is a fraction of the file: the base is really used.
  EXPECT_LT(archive.reader.Entries[0].StoredSize, target.size() / 20);

  // No patch for a base of another size or hash.
  std::vector<uint8_t> near = v1;
  near[100] ^= 1;
  EXPECT_FALSE(FindArchivePatch(r, "GAME.DAT", near.size(), Hash(near).bytes, &index));
  EXPECT_FALSE(FindArchivePatch(r, "GAME.DAT", v1.size() + 1, Hash(v1).bytes, &index));
  EXPECT_FALSE(FindArchivePatch(r, "README.TXT", v1.size(), Hash(v1).bytes, &index));

  // Applied to the wrong base of the right size, the result fails its hash
  // (or the frame its decoding): never a silent success.
  PatchRecord record;
  const uint8_t* frame;
  size_t frameSize;
  ASSERT_TRUE(ReadArchivePatch(r, 0, &record, &frame, &frameSize, &why));
  EXPECT_FALSE(ApplyPatchFrame(frame, frameSize, near.data(), near.size(), out.data(), out.size(),
                               record.NewHash, &why));
  EXPECT_TRUE(why == kArchivePatchMismatch || why == kArchivePatchDamaged) << why;
  EXPECT_FALSE(ApplyPatchFrame(frame, frameSize, v1.data(), v1.size() / 2, out.data(), out.size(),
                               record.NewHash, &why));
}

TEST(PatchRecords, DamagedRecordsAndFramesAreRefusedWithTheirReason) {
  const std::vector<uint8_t> base = Noise(20000, 5), target = Changed(base, 6);
  const PackedEntry good = Patch("A.DAT", base, target);
  const size_t frameSize = good.stored.size() - kPatchRecordSize;
  struct Case {
    const char* what;
    size_t offset;      // byte changed, or SIZE_MAX
    uint8_t value;
    long sizeChange;    // bytes added (zero bytes) or cut at the end
    ArchiveProblem expected;
  } cases[] = {
      {"tag", 0, 'X', 0, kArchivePatchRecord},
      {"version", 4, 2, 0, kArchivePatchRecord},
      {"method", 6, 2, 0, kArchivePatchRecord},
      {"base over 2 GiB", 12, 1, 0, kArchivePatchRecord},
      {"record alone", SIZE_MAX, 0, -static_cast<long>(frameSize), kArchivePatchRecord},
      {"record cut short", SIZE_MAX, 0, -static_cast<long>(frameSize) - 1, kArchivePatchRecord},
      {"frame cut short", SIZE_MAX, 0, -1, kArchivePatchFrame},
      {"byte after the frame", SIZE_MAX, 0, 1, kArchivePatchFrame},
      {"frame magic", kPatchRecordSize, 0, 0, kArchivePatchFrame},
      {"new file's hash", 40, 0xEE, 0, kArchivePatchMismatch},
  };
  for (const Case& c : cases) {
    PackedEntry entry = good;
    if (c.offset != SIZE_MAX) entry.stored[c.offset] = c.value;
    if (c.sizeChange > 0) entry.stored.resize(entry.stored.size() + c.sizeChange, 0);
    if (c.sizeChange < 0) entry.stored.resize(entry.stored.size() + c.sizeChange);
    entry.record.StoredSize = static_cast<uint32_t>(entry.stored.size());
    Archive archive({entry});
    ArchiveProblem why = kArchiveOk;
    PatchRecord record;
    const uint8_t* frame;
    size_t size;
    std::vector<uint8_t> out(target.size());
    const int read = ReadArchivePatch(&archive.reader, 0, &record, &frame, &size, &why);
    const int applied =
        read && ApplyPatchFrame(frame, size, base.data(), base.size(), out.data(), out.size(),
                                record.NewHash, &why);
    EXPECT_FALSE(applied) << c.what;
    EXPECT_EQ(why, c.expected) << c.what;
    // A patch whose record cannot be read is never picked.
    uint32_t index;
    if (!read) {
      EXPECT_FALSE(FindArchivePatch(&archive.reader, "A.DAT", base.size(), Hash(base).bytes, &index))
          << c.what;
    }
  }
  // A frame whose content size is not the entry's size.
  const uint8_t* frame = good.stored.data() + kPatchRecordSize;
  ArchiveProblem why;
  EXPECT_TRUE(CheckPatchFrame(frame, frameSize, target.size(), &why));
  EXPECT_FALSE(CheckPatchFrame(frame, frameSize, target.size() + 1, &why));
  EXPECT_EQ(why, kArchivePatchFrame);
  // A skippable frame is not a patch.
  const uint8_t skippable[12] = {0x50, 0x2A, 0x4D, 0x18, 4, 0, 0, 0, 1, 2, 3, 4};
  EXPECT_FALSE(CheckPatchFrame(skippable, sizeof skippable, 4, &why));
}

TEST(PatchRecords, StubFeatures) {
  uint8_t record[kStubFeaturesSize];
  EncodeStubFeatures(kStubFeaturePatches, record);
  EXPECT_EQ(DecodeStubFeatures(record, sizeof record), kStubFeaturePatches);
  EXPECT_EQ(DecodeStubFeatures(record, sizeof record - 1), 0u);
  EXPECT_EQ(DecodeStubFeatures(nullptr, 0), 0u);
  record[0] = 'X';
  EXPECT_EQ(DecodeStubFeatures(record, sizeof record), 0u);
}
