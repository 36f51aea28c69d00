// The two item lists of section UPDATE as a run reads them: a gap or an empty
// value ends a list, sixteen keys at most, and a run with nothing that
// applies. This suite has no CD-ROM drive.
#include <string>

#include "run_update_bed.h"

namespace {

std::string Key(const char* stem, int index) {
  char name[32];
  wsprintfA(name, "%s%02i", stem, index);
  return name;
}

void ExpectNothingApplies(RunBed& bed) {
  // Were a disc item taken by mistake, its prompt would come back after every
  // OK: Cancel ends it, and the count of boxes below tells.
  bed.boxes.Script({IDCANCEL});
  RunOutcome r = bed.Run();
  ExpectFailed(r);
  auto seen = bed.boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  ExpectErrorBox(seen[0], r, kNothingAppliesMessage);
}

TEST(RunUpdateLists, WithoutAnyListNothingApplies) {
  RunBed bed;
  bed.Payload({{"a.dat", "A"}});
  bed.UpdateSection({});
  ExpectNothingApplies(bed);
}

TEST(RunUpdateLists, MissingFirstKeyHidesTheRest) {
  RunBed bed;
  bed.Payload({{"a.dat", "A"}});
  bed.UpdateSection({"UpdateFile01=a.dat", "CopyFile01=1:a.dat"});
  ExpectNothingApplies(bed);
  EXPECT_FALSE(FileExists(bed.InInst("a.dat")));
}

TEST(RunUpdateLists, EmptyValueEndsAList) {
  RunBed bed;
  bed.Payload({{"a.dat", "A"}, {"b.dat", "B"}});
  bed.UpdateSection({"UpdateFile00=a.dat", "UpdateFile01=", "UpdateFile02=b.dat"});
  ExpectCompleted(bed.Run());
  EXPECT_EQ(ReadBytes(bed.InInst("a.dat")), "A");
  EXPECT_FALSE(FileExists(bed.InInst("b.dat")));
}

TEST(RunUpdateLists, SixteenUpdateKeysAreReadAndTheSeventeenthIsNot) {
  RunBed bed;
  std::vector<BedEntry> entries;
  std::vector<std::string> lines;
  for (int i = 0; i <= 16; ++i) {
    const std::string name = "f" + std::to_string(i) + ".dat";
    entries.push_back({name, "content " + std::to_string(i)});
    // Items for another mode do not end the list; they only drop out.
    lines.push_back(Key("UpdateFile", i) + "=" + (i == 7 ? "2," : "") + name);
  }
  bed.Payload(entries);
  bed.UpdateSection(lines);
  ExpectCompleted(bed.Run());
  for (int i = 0; i < 16; ++i) {
    const std::string path = bed.InInst("f" + std::to_string(i) + ".dat");
    if (i == 7) {
      EXPECT_FALSE(FileExists(path));
    } else {
      EXPECT_EQ(ReadBytes(path), "content " + std::to_string(i));
    }
  }
  EXPECT_FALSE(FileExists(bed.InInst("f16.dat")));
}

TEST(RunUpdateLists, CopyFileSixteenIsNeverRead) {
  RunBed bed;
  bed.Payload({{"a.dat", "A"}});
  std::vector<std::string> lines;
  // Sixteen disc items for install mode 2 drop out; CopyFile16 would ask for
  // disc 1 if it were read.
  for (int i = 0; i < 16; ++i) lines.push_back(Key("CopyFile", i) + "=2,1:movie");
  lines.push_back("CopyFile16=1:movie");
  bed.UpdateSection(lines);
  ExpectNothingApplies(bed);
}

TEST(RunUpdateLists, MissingCopyFile00HidesCopyFile01) {
  RunBed bed;
  bed.Payload({{"a.dat", "A"}});
  bed.UpdateSection({"CopyFile01=1:movie"});
  ExpectNothingApplies(bed);
}

TEST(RunUpdateLists, DiscItemForAnotherModeIsDropped) {
  RunBed bed;
  bed.Payload({{"a.dat", "A"}});
  State.InstMode = 2;
  bed.UpdateSection({"CopyFile00=1,2:movie\\op.dat", "UpdateFile00=1,a.dat"});
  ExpectNothingApplies(bed);
}

// Without any CD-ROM drive the prompt comes back after every OK, until the
// player gives up.
TEST(RunUpdateLists, WithoutACdRomDriveThePromptReturnsAfterEveryOk) {
  RunBed bed;
  bed.Payload({{"a.dat", "A"}});
  bed.UpdateSection({"UpdateFile00=a.dat", "CopyFile00=3:movie\\op.dat"});
  bed.boxes.Script({IDOK, IDOK, IDCANCEL});
  RunOutcome r = bed.Run();
  ExpectFailed(r);
  auto seen = bed.boxes.Boxes();
  ASSERT_EQ(seen.size(), 3u);
  for (const SeenBox& box : seen) {
    EXPECT_EQ(box.text, "ＣＤ－ＲＯＭドライブに「テストゲーム」ディスク 3 を入れて下さい");
    EXPECT_EQ(box.title, State.Caption);
    EXPECT_EQ(box.owner, r.dialog);
    EXPECT_EQ(box.icon, 0);
    EXPECT_EQ(box.buttons, (std::vector<int>{IDOK, IDCANCEL}));
  }
  // The update items were in place when the disc was asked for; the Cancel
  // takes them back.
  EXPECT_FALSE(FileExists(bed.InInst("a.dat")));
}

}  // namespace
