// `fa2 embed`, and the other subcommands reading an updater, run as a
// publisher runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "archive/patch_records.h"
#include "fa2/pe/pe_resources.h"
#include "fa2_run.h"
#include "pe_test_image.h"

namespace {

class EmbedCli : public Fa2Test {
 protected:
  void SetUp() override {
    Fa2Test::SetUp();
    // A clean update with DATA.BIN; one.fa2 lacks that entry, so it fails the check.
    WriteText(Path("UPDATE.INI"),
              "[SETUP]\r\nCompanyName=Maker\r\nGameTitle=Game\r\nGameClass=Window\r\n"
              "GameDir=Game\r\n[UPDATE]\r\nUpdateFile00=DATA.BIN\r\n");
    WriteText(Path("DATA.BIN"), std::string(5000, 'd'));
    ASSERT_EQ(Fa2({"pack", "-o", Path("one.fa2"), Path("UPDATE.INI")}).exitCode, 0);
    ASSERT_EQ(Fa2({"pack", "-o", Path("two.fa2"), Path("UPDATE.INI"), Path("DATA.BIN")}).exitCode,
              0);
    // A stub with a resource section, followed by another section, so that
    // the first embed adds a section and the second rebuilds it.
    TestPe pe;
    pe.Sections.push_back({".text", std::vector<uint8_t>(0x300, 0xC3), 0, 0x60000020});
    pe.Sections.push_back({".rsrc", {}, 0, 0x40000040});
    static const std::vector<uint8_t> dialog(120, 7);
    ResourceTree tree{};
    SetResource(&tree, ResourceKey{0, u"", 5}, ResourceKey{0, u"", 100}, 1041, dialog.data(),
                static_cast<uint32_t>(dialog.size()));
    uint32_t rva = TestSectionRva(pe, 1);
    std::string error;
    ASSERT_EQ(BuildResourceData(tree, rva, &pe.Sections[1].Data, &error), 1);
    pe.Directories[kDirectoryResource] = {rva, static_cast<uint32_t>(pe.Sections[1].Data.size())};
    pe.Sections.push_back({".reloc", std::vector<uint8_t>(16, 0), 0, 0x42000040});
    stub_ = BuildTestPe(pe);
    WriteText(Path("stub.exe"), std::string(stub_.begin(), stub_.end()));
  }
  // What `fa2 list` prints: the same for an archive and for an updater that
  // carries it, but for the updater's first line about its digest.
  std::string Listing(const std::string& file) {
    Fa2Run r = Fa2({"list", file});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
  }
  std::string UpdaterListing(const std::string& archive) {
    return "# payload digest: the payload matches its XXH3-128 digest\n" + Listing(archive);
  }

  // Writes a copy of the updater with one byte of its payload flipped.
  void WriteDamagedCopy(const std::string& updater, const std::string& copy) {
    std::string bytes = ReadText(updater);
    size_t at, length;
    std::string error;
    ASSERT_EQ(FindUpdatePayload(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &at,
                                &length, &error),
              1)
        << error;
    bytes[at + 16] ^= 0x20;  // the first entry's first byte: the directory stays readable
    WriteText(copy, bytes);
  }

  std::vector<uint8_t> stub_;
};

TEST_F(EmbedCli, MakesAnUpdaterThatTheOtherCommandsRead) {
  Fa2Run r = Fa2({"embed", Path("stub.exe"), Path("two.fa2"), "-o", Path("updater.exe")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Listing(Path("updater.exe")), UpdaterListing(Path("two.fa2")));
  EXPECT_EQ(Fa2({"verify", Path("updater.exe")}).exitCode, 0);
  ASSERT_EQ(Fa2({"extract", Path("updater.exe"), "-C", Path("out")}).exitCode, 0);
  EXPECT_EQ(ReadText(Path("out/DATA.BIN")), ReadText(Path("DATA.BIN")));
  EXPECT_FALSE(Exists(Path("updater.exe.partial")));

  // The payload is exactly the archive file.
  std::string updater = ReadText(Path("updater.exe"));
  size_t at, length;
  std::string error;
  ASSERT_EQ(FindUpdatePayload(reinterpret_cast<const uint8_t*>(updater.data()), updater.size(),
                              &at, &length, &error),
            1)
      << error;
  EXPECT_EQ(updater.substr(at, length), ReadText(Path("two.fa2")));

  // Branded: the version text arrives as UTF-16 from the UTF-8 argument, the
  // icon image as it is in the file. (Both are read back under wine too.)
  std::string image = "\x89PNG\r\n\x1A\n" + std::string(40, 'p');
  WriteText(Path("one.ico"), std::string("\0\0\1\0\1\0\20\20\0\0\1\0\40\0\60\0\0\0\26\0\0\0", 22) +
                                 image);
  r = Fa2({"embed", Path("stub.exe"), Path("two.fa2"), "-o", Path("branded.exe"), "--icon",
           Path("one.ico"), "--version", "ProductName=\xe6\x98\x9f\xe3\x81\xae\xe5\xba\xad"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string branded = ReadText(Path("branded.exe"));
  EXPECT_NE(branded.find(std::string("\x1f\x66\x6e\x30\xad\x5e", 6)), std::string::npos);
  EXPECT_NE(branded.find(image), std::string::npos);
  EXPECT_EQ(Listing(Path("branded.exe")), UpdaterListing(Path("two.fa2")));
}

TEST_F(EmbedCli, ReplacesThePayloadAndTakesOneFromAnUpdater) {
  ASSERT_EQ(Fa2({"embed", Path("stub.exe"), Path("two.fa2"), "-o", Path("a.exe")}).exitCode, 0);
  // Into the updater itself (output over input): the payload is replaced.
  Fa2Run r = Fa2({"embed", Path("a.exe"), Path("one.fa2"), "-o", Path("a.exe"), "--force"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Listing(Path("a.exe")), UpdaterListing(Path("one.fa2")));
  // An updater as ARCHIVE gives its payload to a fresh stub.
  ASSERT_EQ(Fa2({"embed", Path("stub.exe"), Path("a.exe"), "-o", Path("b.exe"), "--force"}).exitCode,
            0);
  EXPECT_EQ(ReadText(Path("b.exe")), ReadText(Path("a.exe")));
}

TEST_F(EmbedCli, RefusesDamagedInputsWithoutWritingAnything) {
  std::string archive = ReadText(Path("two.fa2"));
  WriteText(Path("cut.fa2"), archive.substr(0, archive.size() - 100));
  WriteText(Path("text.exe"), "MZ but nothing more");
  std::string signedStub(stub_.begin(), stub_.end());
  signedStub[TestDirectoryOffset(1) + 8 * kDirectorySecurity] = 0x10;
  WriteText(Path("signed.exe"), signedStub);
  ASSERT_EQ(Fa2({"embed", Path("stub.exe"), Path("two.fa2"), "-o", Path("good.exe")}).exitCode, 0);
  WriteDamagedCopy(Path("good.exe"), Path("damaged.exe"));

  WriteText(Path("text.ico"), "not an icon at all");
  WriteText(Path("cut.ico"), std::string("\0\0\1\0\1\0\20\20\0\0\1\0\40\0\0\1\0\0\26\0\0\0", 22));

  struct Case {
    std::string stub, archive, fileNamed, reason;
    std::vector<std::string> extra = {};
  } cases[] = {
      {Path("stub.exe"), Path("two.fa2"), Path("text.ico"), "not an icon file",
       {"--icon", Path("text.ico")}},
      {Path("stub.exe"), Path("two.fa2"), Path("cut.ico"), "outside the file",
       {"--icon", Path("cut.ico")}},
      {Path("stub.exe"), Path("two.fa2"), Path("none.ico"), "", {"--icon", Path("none.ico")}},
      {Path("stub.exe"), Path("cut.fa2"), Path("cut.fa2"), ""},
      {Path("stub.exe"), Path("missing.fa2"), Path("missing.fa2"), ""},
      {Path("stub.exe"), Path("stub.exe"), Path("stub.exe"), "no payload"},
      {Path("text.exe"), Path("two.fa2"), Path("text.exe"), "MS-DOS header"},
      {Path("signed.exe"), Path("two.fa2"), Path("signed.exe"), "signed"},
      {Path("two.fa2"), Path("two.fa2"), Path("two.fa2"), "no MZ header"},
      {Path("stub.exe"), Path("damaged.exe"), Path("damaged.exe"), "does not match"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"embed", c.stub, c.archive, "-o", Path("out.exe")};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    Fa2Run r = Fa2(args);
    EXPECT_EQ(r.exitCode, 1) << c.stub << " " << c.archive;
    EXPECT_NE(r.err.find("fa2: " + c.fileNamed + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(Path("out.exe")));
    EXPECT_FALSE(Exists(Path("out.exe.partial")));
  }
  Fa2Run r = Fa2({"embed", Path("stub.exe"), Path("two.fa2"), "-o", Path("no/such/folder/u.exe")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no/such/folder/u.exe"), std::string::npos) << r.err;
  // The stub alone holds no archive.
  r = Fa2({"list", Path("stub.exe")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no payload"), std::string::npos) << r.err;
}

TEST_F(EmbedCli, VerifyAndListTellThePayloadDigest) {
  ASSERT_EQ(Fa2({"embed", Path("stub.exe"), Path("two.fa2"), "-o", Path("good.exe")}).exitCode, 0);
  WriteDamagedCopy(Path("good.exe"), Path("damaged.exe"));
  // An updater as tools without the record make it.
  std::vector<uint8_t> bare;
  std::string archive = ReadText(Path("two.fa2")), error;
  ASSERT_EQ(EmbedUpdatePayload(stub_.data(), stub_.size(),
                               reinterpret_cast<const uint8_t*>(archive.data()), archive.size(),
                               &bare, &error, nullptr, 0),
            1)
      << error;
  WriteText(Path("bare.exe"), std::string(bare.begin(), bare.end()));

  struct Case {
    std::string file;
    int verifyExit;
    std::string verifyErr, listFirstLine;
  } cases[] = {
      {Path("good.exe"), 0, "", "# payload digest: the payload matches its XXH3-128 digest"},
      {Path("damaged.exe"), 1, "does not match its XXH3-128 digest",
       "# payload digest: the payload does not match its XXH3-128 digest: the updater is "
       "damaged"},
      {Path("bare.exe"), 0, "note: no payload digest",
       "# payload digest: no payload digest (resource UPDATE/103): the updater cannot tell a "
       "damaged payload"},
      {Path("two.fa2"), 0, "", "UPDATE.INI\t"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Fa2Run verify = Fa2({"verify", c.file});
    EXPECT_EQ(verify.exitCode, c.verifyExit);
    if (c.verifyErr.empty()) {
      EXPECT_EQ(verify.err, "");
    } else {
      EXPECT_NE(verify.err.find("fa2: " + c.file + ": " ), std::string::npos) << verify.err;
      EXPECT_NE(verify.err.find(c.verifyErr), std::string::npos) << verify.err;
    }
    Fa2Run list = Fa2({"list", c.file});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out.substr(0, c.listFirstLine.size()), c.listFirstLine);
  }
}

// fa2 check, embed's refusal of an update with errors, and fa2 build from a
// folder, with the options publishers reach for.
TEST_F(EmbedCli, ChecksFirstAndBuildsFromAFolder) {
  Fa2Run r = Fa2({"check", Path("two.fa2")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  r = Fa2({"check", Path("one.fa2")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("fa2: " + Path("one.fa2") + ": error: UPDATE UpdateFile00 = 'DATA.BIN'"),
            std::string::npos)
      << r.err;
  r = Fa2({"check", "--json", Path("one.fa2")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out.rfind("[\n {\"level\": \"error\", \"section\": \"UPDATE\", \"key\": \"UpdateFile00\"", 0),
            0u)
      << r.out;
  r = Fa2({"embed", Path("stub.exe"), Path("one.fa2"), "-o", Path("out.exe")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(Path("out.exe")));

  // A folder with a sub-folder, which is named and left out.
  ASSERT_EQ(std::system(("mkdir -p '" + Path("upd/sub") + "'").c_str()), 0);
  WriteText(Path("upd/UPDATE.INI"), ReadText(Path("UPDATE.INI")));
  WriteText(Path("upd/DATA.BIN"), ReadText(Path("DATA.BIN")));
  r = Fa2({"build", Path("upd"), "-o", Path("b.exe"), "--stub", Path("stub.exe"), "--mtime",
           "2024-03-01T12:00:00Z", "--level", "1", "--version", "ProductName=\xe6\x98\x9f\xe3\x81\xae\xe5\xba\xad"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The version text is passed on to the embedding (UTF-16 in the resource).
  EXPECT_NE(ReadText(Path("b.exe")).find(std::string("\x1f\x66\x6e\x30\xad\x5e", 6)),
            std::string::npos);
  EXPECT_NE(r.err.find("fa2: " + Path("upd/sub") + ": warning: not packed"), std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("2 entries, 5,"), std::string::npos) << r.out;
  EXPECT_FALSE(Exists(Path("b.exe.partial.fa2")));
  EXPECT_NE(Listing(Path("b.exe")).find("DATA.BIN\tcompressed\t5000\t"), std::string::npos);
  EXPECT_NE(Listing(Path("b.exe")).find("\t2024-03-01T12:00:00Z\n"), std::string::npos);
  // Without --stub the stub is updater.exe beside fa2, which the host build has not.
  r = Fa2({"build", Path("upd"), "-o", Path("c.exe")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("/updater.exe: no updater stub beside fa2"), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(Path("c.exe")));

  // The folder as the updater will see it: what each item does, and the
  // encodings of UPDATE.INI (line 3 holds its first non-ASCII character).
  const std::string utf8 =
      "[SETUP]\r\nCompanyName=Maker\r\nGameTitle=\xe6\x98\x9f\r\nGameClass=Window\r\n"
      "GameDir=Game\r\n[UPDATE]\r\nUpdateFile00=d,DATA.BIN\r\n";
  const struct {
    const char* what;
    std::string updateIni;
    std::vector<std::string> args;
    int exitCode;
    const char* said;  // in the output, standard or error
  } cases[] = {
      {"plan of the sample", "", {"check", "--plan", SOURCE_DIR "/examples/sample-update"}, 0,
       "UpdateFile03\tevery install mode\td: written where no readable file is\t"
       "DataPath\\CONFIG.DAT\tCONFIG.DAT\t64 bytes\n"},
      {"plan of a folder", utf8, {"check", "--plan", Path("upd")}, 1, "DataPath\\DATA.BIN"},
      {"UTF-8 fails build", utf8,
       {"-q", "build", Path("upd"), "--output=" + Path("u.exe"), "--stub=" + Path("stub.exe")}, 1,
       "UPDATE.INI is UTF-8 text, not CP932 (line 3 "},
      {"UTF-8 converted", utf8,
       {"build", Path("upd"), "-o" + Path("u.exe"), "--stub", Path("stub.exe"), "--convert-utf8"},
       0, "converted from UTF-8 to CP932"},
  };
  for (const auto& c : cases) {
    if (!c.updateIni.empty()) WriteText(Path("upd/UPDATE.INI"), c.updateIni);
    r = Fa2(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.what << ": " << r.err;
    EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << c.what << ": " << r.out << r.err;
    // Summaries name what the user asked for, never a temporary file.
    EXPECT_EQ((r.out + r.err).find(".partial"), std::string::npos) << c.what;
    EXPECT_EQ(Exists(Path("u.exe")), c.exitCode == 0 && c.args[0] == "build") << c.what;
  }
  EXPECT_NE(ReadText(Path("upd/UPDATE.INI")).find("GameTitle=\x90\xaf\r\n"), std::string::npos);

  // extract --keep leaves an existing file alone.
  WriteText(Path("x/DATA.BIN"), "mine");
  ASSERT_EQ(Fa2({"extract", Path("b.exe"), "-C", Path("x")}).exitCode, 0);
  EXPECT_EQ(ReadText(Path("x/DATA.BIN")), ReadText(Path("DATA.BIN")));
  WriteText(Path("x/DATA.BIN"), "mine");
  r = Fa2({"extract", "--keep", Path("b.exe"), "-C", Path("x")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadText(Path("x/DATA.BIN")), "mine");
}

TEST_F(EmbedCli, UsageErrorsAndHelp) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"embed"},
           {"embed", Path("stub.exe"), Path("two.fa2")},
           {"embed", Path("stub.exe"), "-o", Path("u.exe")},
           {"embed", Path("stub.exe"), Path("two.fa2"), Path("x"), "-o", Path("u.exe")},
           {"embed", Path("stub.exe"), Path("two.fa2"), "-o"},
           {"embed", Path("stub.exe"), Path("two.fa2"), "-o", "a", "-o", "b"},
           {"embed", "--sign", Path("stub.exe"), Path("two.fa2"), "-o", Path("u.exe")},
           {"embed", Path("stub.exe"), Path("two.fa2"), "-o", Path("u.exe"), "--icon"},
           {"embed", Path("stub.exe"), Path("two.fa2"), "-o", Path("u.exe"), "--version", "Build=3"},
           {"embed", Path("stub.exe"), Path("two.fa2"), "-o", Path("u.exe"), "--version",
            "FileVersion=1", "--version", "fileversion=2"},
           {"embed", Path("stub.exe"), Path("two.fa2"), "-o", Path("u.exe"), "--version",
            "ProductName=\xe2\x82\xac"}}) {  // the euro sign: not in CP932
    Fa2Run r = Fa2(args);
    EXPECT_EQ(r.exitCode, 2) << args.size();
    EXPECT_NE(r.err.find("fa2 embed --help"), std::string::npos) << r.err;
  }
  Fa2Run help = Fa2({"embed", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("Usage: fa2 embed STUB_EXE ARCHIVE -o OUT_EXE"), std::string::npos);
  EXPECT_NE(Fa2({"--help"}).out.find("embed"), std::string::npos);
}

}  // namespace

namespace {

// A stub like the fixture's, that announces patch entries (resource
// "UPDATE"/104) when features says so.
std::vector<uint8_t> StubWithFeatures(uint32_t features) {
  TestPe pe;
  pe.Sections.push_back({".text", std::vector<uint8_t>(0x300, 0xC3), 0, 0x60000020});
  pe.Sections.push_back({".rsrc", {}, 0, 0x40000040});
  static uint8_t record[kStubFeaturesSize];
  EncodeStubFeatures(features, record);
  ResourceTree tree{};
  SetResource(&tree, ResourceKey{1, kPayloadResourceTypeWide, 0},
              ResourceKey{0, u"", kStubFeaturesResourceId}, kPayloadResourceLanguage, record, sizeof record);
  const uint32_t rva = TestSectionRva(pe, 1);
  std::string error;
  EXPECT_EQ(BuildResourceData(tree, rva, &pe.Sections[1].Data, &error), 1);
  pe.Directories[kDirectoryResource] = {rva, static_cast<uint32_t>(pe.Sections[1].Data.size())};
  return BuildTestPe(pe);
}

}  // namespace

// Patch entries from earlier versions: made where the installed game had the
// file, listed with their bases, applied by verify --from, named by check
// when no full entry is left, and refused by embed for a stub that cannot
// apply them.
TEST_F(EmbedCli, PacksPatchesFromEarlierVersions) {
  std::string v1(60000, '\0'), v2;
  for (size_t i = 0; i < v1.size(); ++i) v1[i] = static_cast<char>((i * 7919) >> 5);
  v2 = v1;
  v2[123] ^= 1;
  std::string now = ReadText(Path("DATA.BIN")) + v1;
  now[7000] = 'X';
  WriteText(Path("DATA.BIN"), now);
  ASSERT_EQ(std::system(("mkdir -p '" + Path("old1") + "' '" + Path("old2") + "' '" + Path("new") + "'").c_str()), 0);
  WriteText(Path("old1/DATA.BIN"), std::string(5000, 'd') + v1);
  WriteText(Path("old2/DATA.BIN"), std::string(5000, 'd') + v2);
  WriteText(Path("new/DATA.BIN"), now);
  WriteText(Path("new/UPDATE.INI"), ReadText(Path("UPDATE.INI")));

  struct Case {
    std::vector<std::string> options;
    size_t patches;
    bool full;
  } cases[] = {{{"--from", Path("old1"), "--from", Path("old2")}, 2, false},
               {{"--from", Path("old1"), "--from", Path("old2"), "--keep-full"}, 2, true},
               {{"--from", Path("old1"), "--from", Path("new")}, 2, false},
               {{"--from", Path("old1"), "--from", Path("old1")}, 1, false},  // one base, one patch
               {{"--from", Path("old1"), "--from", Path("nowhere")}, 1, true}};
  for (const Case& c : cases) {
    std::vector<std::string> args = {"pack", "-o", Path("p.fa2")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(Path("new"));
    Fa2Run r = Fa2(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string list = Listing(Path("p.fa2"));
    size_t patches = 0;
    for (size_t at = 0; (at = list.find("\tpatch\t", at)) != std::string::npos; ++at) ++patches;
    EXPECT_EQ(patches, c.patches) << list;
    EXPECT_EQ(list.rfind("DATA.BIN\tcompressed", 0) == 0 || list.find("\nDATA.BIN\tcompressed") != std::string::npos, c.full) << list;
    r = Fa2({"verify", "--from", Path("old1"), "--from", Path("old2"), Path("p.fa2")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("of " + std::to_string(c.patches) + " patches applied"), std::string::npos) << r.err;
    r = Fa2({"check", Path("p.fa2")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.find("no full entry to fall back on") != std::string::npos, !c.full) << r.err;
  }
  // The JSON listing names each patch's base.
  Fa2Run r = Fa2({"list", "--json", Path("p.fa2")});
  EXPECT_NE(r.out.find("\"patch\": {\"base_size\": 65000, \"base_xxh3_128\": \""), std::string::npos)
      << r.out;

  // A stub without the feature record would write a patch as the file.
  r = Fa2({"embed", Path("stub.exe"), Path("p.fa2"), "-o", Path("old.exe")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot apply patch entries"), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(Path("old.exe")));
  const std::vector<uint8_t> able = StubWithFeatures(kStubFeaturePatches);
  WriteText(Path("able.exe"), std::string(able.begin(), able.end()));
  r = Fa2({"embed", Path("able.exe"), Path("p.fa2"), "-o", Path("new.exe")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  // A patch whose frame is damaged is a fault of verify.
  std::string bytes = ReadText(Path("p.fa2"));
  const size_t patchAt = bytes.find("FA2P");
  ASSERT_NE(patchAt, std::string::npos);
  bytes[patchAt + 48] ^= 0x01;  // the frame's magic
  WriteText(Path("bad.fa2"), bytes);
  r = Fa2({"verify", Path("bad.fa2")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("patch frame"), std::string::npos) << r.err;
}
