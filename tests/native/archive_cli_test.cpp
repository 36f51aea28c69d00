// The fa2 program itself: round trips over the corpus, damaged archives,
// refusals and exit codes, run as a user would run it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive_test_streams.h"
#include "fa2/host/file_time.h"
#include "fa2_run.h"

namespace {

using RunResult = Fa2Run;

class Fa2Cli : public Fa2Test {
 protected:
  // A small folder of files: text, a compressible block, an empty file.
  std::string MakeSampleFolder() {
    const std::string in = Path("in");
    mkdir(in.c_str(), 0755);
    WriteText(in + "/README.TXT", "hello, archive\r\n");
    std::string block;
    for (int i = 0; i < 400; ++i) block += "line " + std::to_string(i % 17) + " of the sample\n";
    WriteText(in + "/GAME.DAT", block);
    WriteText(in + "/EMPTY", "");
    mkdir((in + "/sub").c_str(), 0755);  // not packed: folders are not recursed
    WriteText(in + "/sub/HIDDEN", "x");
    return in;
  }
};

uint64_t MtimeAsFileTime(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return FileTimeFromUnix(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TEST_F(Fa2Cli, CorpusRoundTripsThroughPackListExtractVerify) {
  const std::vector<std::string> files = {"packed.png", "photo.bmp",  "program.dll",
                                          "screen.bmp", "script.sjis.txt", "voice.wav"};
  const std::vector<std::vector<std::string>> variants = {
      {}, {"--store", "--plain-directory"}, {"--level", "1"}};
  for (const std::vector<std::string>& options : variants) {
    const bool store = !options.empty() && options[0] == "--store";
    SCOPED_TRACE(options.empty() ? "default" : options[0]);
    const std::string archive = Path(options.empty() ? "corpus.fa2" : options[0].substr(2) + ".fa2");
    std::vector<std::string> pack = {"pack", "-o", archive};
    pack.insert(pack.end(), options.begin(), options.end());
    pack.push_back(CORPUS_DIR);
    RunResult r = Fa2(pack);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    r = Fa2({"list", archive});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    // Sorted by name, README.md and SHA256SUMS included.
    ASSERT_EQ(lines.size(), 8u) << r.out;
    EXPECT_EQ(lines[0].substr(0, 10), "README.md\t");
    uint64_t position = 16;
    size_t compressed = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      char name[64], kind[16], when[32];
      unsigned long long unpacked, stored, at;
      ASSERT_EQ(std::sscanf(lines[i].c_str(), "%63[^\t]\t%15s\t%llu\t%llu\t%llu\t%31s", name,
                            kind, &unpacked, &stored, &at, when),
                6)
          << lines[i];
      EXPECT_EQ(at, position) << lines[i];
      position += (stored + 15) / 16 * 16;
      compressed += std::strcmp(kind, "compressed") == 0;
      if (store) {
        EXPECT_STREQ(kind, "stored");
      }
      if (std::strcmp(kind, "stored") == 0) {
        EXPECT_EQ(stored, unpacked);
      } else {
        EXPECT_LT(stored, unpacked);
      }
      EXPECT_EQ(when, FormatFileTimeUtc(MtimeAsFileTime(std::string(CORPUS_DIR) + "/" + name)));
    }
    if (!store) {
      EXPECT_GE(compressed, 4u);  // text, bitmaps, program, sound
    }

    r = Fa2({"verify", archive});
    EXPECT_EQ(r.exitCode, 0) << r.err;

    const std::string out = archive + ".out";
    r = Fa2({"extract", archive, "-C", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const std::string& file : files) {
      const std::string original = std::string(CORPUS_DIR) + "/" + file;
      EXPECT_TRUE(ReadText(out + "/" + file) == ReadText(original)) << file;
      // The entry keeps the time to 100 ns, as a FILETIME can.
      EXPECT_EQ(MtimeAsFileTime(out + "/" + file), MtimeAsFileTime(original)) << file;
    }
  }
}

TEST_F(Fa2Cli, EntriesFollowTheArgumentOrderAndFoldersAreNotRecursed) {
  const std::string in = MakeSampleFolder();
  WriteText(Path("FIRST.TXT"), "1");
  const std::string archive = Path("a.fa2");
  RunResult r = Fa2({"pack", "-o", archive, Path("FIRST.TXT"), in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = Fa2({"list", archive});
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  const char* order[] = {"FIRST.TXT\t", "EMPTY\t", "GAME.DAT\t", "README.TXT\t"};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(lines[i].rfind(order[i], 0), 0u) << lines[i];
}

TEST_F(Fa2Cli, JapaneseNamesRoundTripAndMatchWithoutRegardToCase) {
  const std::string in = Path("jp");
  mkdir(in.c_str(), 0755);
  WriteText(in + "/セーブ説明.txt", "\x83\x5A\x81\x5B\x83\x75\r\n");
  WriteText(in + "/表示設定.DAT", std::string(500, '\x5C'));
  WriteText(in + "/Readme.Txt", "read me");
  const std::string archive = Path("jp.fa2");
  RunResult r = Fa2({"pack", "-o", archive, in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // In the archive the names are CP932.
  r = Fa2({"pack", "-o", Path("plain.fa2"), "--plain-directory", in});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(ReadText(Path("plain.fa2")).find(std::string("\x95\x5C\x8E\xA6\x90\xDD\x92\xE8.DAT\0", 13)),
            std::string::npos);

  r = Fa2({"list", archive});
  EXPECT_NE(r.out.find("セーブ説明.txt\t"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("表示設定.DAT\t"), std::string::npos) << r.out;

  const std::string out = Path("jp_out");
  r = Fa2({"extract", archive, "-C", out, "README.TXT", "表示設定.dat"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadText(out + "/Readme.Txt"), "read me");
  EXPECT_EQ(ReadText(out + "/表示設定.DAT"), std::string(500, '\x5C'));
  EXPECT_NE(access((out + "/セーブ説明.txt").c_str(), F_OK), 0);  // not asked for

  r = Fa2({"extract", archive, "-C", out, "NOPE.TXT"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("NOPE.TXT"), std::string::npos) << r.err;
}

TEST_F(Fa2Cli, PackRefusesNamesTheArchiveCannotHold) {
  const std::string in = MakeSampleFolder();
  const std::string archive = Path("a.fa2");
  struct stat st;

  // Two names equal without regard to case.
  WriteText(Path("readme.txt"), "other");
  RunResult r = Fa2({"pack", "-o", archive, in, Path("readme.txt")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(Path("readme.txt")), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(in + "/README.TXT"), std::string::npos) << r.err;
  EXPECT_NE(stat(archive.c_str(), &st), 0);
  EXPECT_NE(stat((archive + ".partial").c_str(), &st), 0);
  // Full-width letters too: the updater cannot tell these apart either.
  WriteText(Path("ＡＢ.txt"), "1");
  WriteText(Path("ａｂ.TXT"), "2");
  r = Fa2({"pack", "-o", archive, Path("ＡＢ.txt"), Path("ａｂ.TXT")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("same entry name"), std::string::npos) << r.err;

  // A name without a CP932 form.
  const std::string emoji = Path("smile\xF0\x9F\x98\x80.txt");
  WriteText(emoji, "x");
  r = Fa2({"pack", "-o", archive, emoji});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(emoji), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("CP932"), std::string::npos) << r.err;

  // A file of 4 GiB (sparse: no bytes are written).
  const std::string big = Path("BIG.DAT");
  ASSERT_EQ(truncate((WriteText(big, ""), big).c_str(), off_t{1} << 32), 0);
  r = Fa2({"pack", "-o", archive, big});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(big), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("4 GiB"), std::string::npos) << r.err;

  // Missing input.
  r = Fa2({"pack", "-o", archive, Path("missing")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(Path("missing")), std::string::npos) << r.err;
  EXPECT_NE(stat(archive.c_str(), &st), 0);
}

TEST_F(Fa2Cli, DamagedArchivesFailCleanlyAndNameTheFile) {
  const std::string in = MakeSampleFolder();
  const std::string good = Path("good.fa2");
  ASSERT_EQ(Fa2({"pack", "-o", good, in}).exitCode, 0);
  const std::string bytes = ReadText(good);
  const std::string bad = Path("bad.fa2");

  // Every truncation is refused: the compressed directory runs to the end.
  for (size_t size = 0; size < bytes.size(); size += (size < 40 ? 1 : 29)) {
    WriteText(bad, bytes.substr(0, size));
    for (const char* command : {"verify", "list", "extract"}) {
      std::vector<std::string> args = {command, bad};
      if (std::strcmp(command, "extract") == 0) args.insert(args.end(), {"-C", Path("x")});
      const RunResult r = Fa2(args);
      EXPECT_EQ(r.exitCode, 1) << command << " of " << size << " bytes: " << r.err;
      EXPECT_EQ(r.err.rfind("fa2: " + bad + ": ", 0), 0u) << r.err;
    }
  }

  // Flipped bytes never crash; when verify passes, extract does too.
  for (size_t at = 0; at < bytes.size(); at += 13) {
    std::string flipped = bytes;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
    WriteText(bad, flipped);
    const RunResult v = Fa2({"verify", bad});
    ASSERT_LE(v.exitCode, 1) << "at " << at << ": " << v.err;
    const RunResult x = Fa2({"extract", bad, "-C", Path("flip")});
    ASSERT_LE(x.exitCode, 1) << "at " << at << ": " << x.err;
    if (v.exitCode == 0) {
      EXPECT_EQ(x.exitCode, 0) << "at " << at << ": " << x.err;
    } else {
      EXPECT_NE(v.err.find(bad), std::string::npos);
    }
  }
}

TEST_F(Fa2Cli, HeaderFaultsAreNamed) {
  const std::string in = MakeSampleFolder();
  const std::string good = Path("good.fa2");
  ASSERT_EQ(Fa2({"pack", "-o", good, "--plain-directory", in}).exitCode, 0);
  const std::string bytes = ReadText(good);
  const std::string bad = Path("bad.fa2");
  const struct {
    size_t at;
    uint32_t value;
    const char* reason;
  } faults[] = {{8, 0x7FFFFFF0u, "beyond the end"},
                {12, 0xFFFFFFFFu, "too large"},
                {12, 1000, "runs past the end"},
                {0, 0x00324147u, "not an FA2 archive"}};
  for (const auto& f : faults) {
    std::string damaged = bytes;
    std::memcpy(&damaged[f.at], &f.value, 4);
    WriteText(bad, damaged);
    for (const char* command : {"verify", "list"}) {
      const RunResult r = Fa2({command, bad});
      EXPECT_EQ(r.exitCode, 1) << command;
      EXPECT_NE(r.err.find(bad), std::string::npos) << r.err;
      EXPECT_NE(r.err.find(f.reason), std::string::npos) << r.err;
    }
  }
  // An entry whose data reaches past the archive: StoredSize of the first
  // record, in the plain directory of three at the end.
  std::string damaged = bytes;
  const uint32_t huge = 0x10000000;
  std::memcpy(&damaged[bytes.size() - 3 * 280 + 276], &huge, 4);
  WriteText(bad, damaged);
  const RunResult r = Fa2({"verify", bad});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("runs past the end"), std::string::npos) << r.err;
}

TEST_F(Fa2Cli, ExtractRefusesNamesThatLeaveTheFolder) {
  std::vector<ArchiveEntry> records = {TestRecord("../escape.txt", kEntryStored, 0, 0),
                                       TestRecord("sub/x.txt", kEntryStored, 0, 0),
                                       TestRecord("fine.txt", kEntryStored, 0, 0)};
  const std::vector<uint8_t> image = TestPayload(0, 3, 0, RecordBytes(records));
  const std::string archive = Path("evil.fa2");
  WriteText(archive, std::string(image.begin(), image.end()));
  const std::string out = Path("out");
  const RunResult r = Fa2({"extract", archive, "-C", out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("../escape.txt"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("sub/x.txt"), std::string::npos) << r.err;
  EXPECT_NE(access(Path("escape.txt").c_str(), F_OK), 0);
  EXPECT_EQ(access((out + "/fine.txt").c_str(), F_OK), 0);  // the others are written
}

TEST_F(Fa2Cli, ExitCodesAndHelp) {
  EXPECT_EQ(Fa2({}).exitCode, 2);
  EXPECT_EQ(Fa2({"frobnicate"}).exitCode, 2);
  RunResult r = Fa2({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  // Every help ends with the one option syntax that every subcommand takes.
  const size_t syntax = r.out.find("\nOptions: --name VALUE and --name=VALUE");
  ASSERT_NE(syntax, std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("  build "), r.out.find("Commands:\n") + 10) << "build comes first";
  for (const char* command : {"build", "check", "pack", "embed", "list", "extract", "verify"}) {
    EXPECT_NE(r.out.find(command), std::string::npos);
    const RunResult h = Fa2({command, "--help"});
    EXPECT_EQ(h.exitCode, 0) << command;
    EXPECT_EQ(h.out.rfind(std::string("Usage: fa2 ") + command, 0), 0u) << h.out;
    EXPECT_EQ(h.out.substr(h.out.size() - (r.out.size() - syntax)), r.out.substr(syntax))
        << command;
  }
  // --opt=value, --opt value, -xVALUE and -x VALUE are the same everywhere.
  const std::string in = MakeSampleFolder();
  for (const std::vector<std::string>& pack :
       {std::vector<std::string>{"pack", "--output=" + Path("a.fa2"), "--level=1", in},
        {"pack", in, "-o" + Path("a.fa2"), "--mtime", "2024-03-01"}})
    EXPECT_EQ(Fa2(pack).exitCode, 0) << pack[1];
  EXPECT_EQ(Fa2({"extract", Path("a.fa2"), "--directory=" + Path("x1")}).exitCode, 0);
  EXPECT_EQ(Fa2({"extract", "-C" + Path("x2"), "--", Path("a.fa2"), "README.TXT"}).exitCode, 0);
  EXPECT_TRUE(Exists(Path("x1/GAME.DAT")) && Exists(Path("x2/README.TXT")));
  EXPECT_EQ(Fa2({"list", "--json=yes", Path("a.fa2")}).exitCode, 2);  // a flag takes no value
  EXPECT_EQ(Fa2({"pack", Path("x")}).exitCode, 2);              // no -o
  EXPECT_EQ(Fa2({"pack", "-o", Path("a.fa2")}).exitCode, 2);    // nothing to pack
  EXPECT_EQ(Fa2({"pack", "--fast", "-o", "a", "b"}).exitCode, 2);
  for (const char* level : {"0", "10", "x", ""})
    EXPECT_EQ(Fa2({"pack", "--level", level, "-o", "a", "b"}).exitCode, 2) << level;
  EXPECT_EQ(Fa2({"pack", "-o", "a", "b", "--level"}).exitCode, 2);
  EXPECT_EQ(Fa2({"list"}).exitCode, 2);
  EXPECT_EQ(Fa2({"list", "a", "b"}).exitCode, 2);
  EXPECT_EQ(Fa2({"verify", "-x", "a"}).exitCode, 2);
  EXPECT_EQ(Fa2({"extract"}).exitCode, 2);
  EXPECT_EQ(Fa2({"extract", "a", "-C"}).exitCode, 2);
  r = Fa2({"verify", Path("missing.fa2")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(Path("missing.fa2")), std::string::npos) << r.err;
  r = Fa2({"list", dir_});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("folder"), std::string::npos) << r.err;
}
