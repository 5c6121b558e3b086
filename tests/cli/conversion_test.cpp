#include "capture/vgm_reader.h"
#include "lzss/decoder.h"
#include "support/gzip_bytes.h"
#include "songs.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace testing_support;

namespace {

std::string skipNotices()
{
    std::string notices;
    for (int c = 8; c >= 2; --c)
        notices += "Skipping channel #" + std::to_string(c) + ", set with $" + (c == 8 ? "28" : "00") + ".\n";
    return notices;
}

int countLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// Converts a song through the binary and checks that the file it wrote
// decodes to the song's streams.
void expectConvertsAndDecodes(const std::filesystem::path& vgm, const std::vector<std::string>& options,
                              const LzssSettings& settings, bool oldFormat)
{
    TempDir dir;
    std::vector<std::string> arguments = options;
    arguments.push_back(vgm.string());
    arguments.push_back((dir / "out.lz16").string());
    const ProgramResult result = runRegsqueeze(arguments);
    ASSERT_EQ(result.status, 0) << result.err;

    RegisterStreamSet expected;
    expected.frameCount = buildRegisterStreams(readVgmFrames(readFile(vgm)), expected);
    const DecodedSong decoded = decodeCompressedFile(readFile(dir / "out.lz16"), settings, oldFormat);
    EXPECT_EQ(decoded.error, "");
    EXPECT_EQ(decoded.unreadBytes, 0);
    EXPECT_EQ(decoded.streams.frameCount, expected.frameCount);
    EXPECT_TRUE(decoded.streams.streams == expected.streams) << vgm;
}

class SixFrameSong : public ::testing::Test {
protected:
    void SetUp() override { writeFile(input, vgm::writeVgm(sixFrameSong())); }
    TempDir dir;
    std::filesystem::path input = dir / "six.vgm";
    std::filesystem::path output = dir / "six.lz16";
};

}  // namespace

TEST_F(SixFrameSong, WorkedExamplesComeOutByteForByte)
{
    const std::vector<uint8_t> header = {0x7F, 0x28, 0, 0, 0, 0, 0, 0, 0xA4, 0x10};
    auto withHeader = [&](std::vector<uint8_t> steps) {
        steps.insert(steps.begin(), header.begin(), header.end());
        return steps;
    };
    struct Case {
        std::vector<std::string> options;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {{}, withHeader({0x7A, 0xFE, 0x02, 0x20, 0xFE, 0x03, 0xA6, 0xA6, 0xA8, 0x30})},
        {{"-x"}, {0x7F, 0x28, 0, 0, 0, 0, 0, 0, 0xEB, 0xA4, 0x10, 0xFF, 0x02, 0x20, 0xFF, 0x03, 0xA6, 0xA6, 0xA8, 0x01, 0x30}},
        {{"-2"}, withHeader({0x7A, 0xFD, 0x10, 0x20, 0xFC, 0xA6, 0xA6, 0xA8, 0x30})},
        {{"-8"}, withHeader({0x7A, 0xE1, 0x20, 0xE2, 0xA6, 0xA6, 0xA8, 0x30})},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.push_back(input.string());
        const ProgramResult result = runRegsqueeze(arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(readFile(output), c.bytes);
    }
}

TEST_F(SixFrameSong, ReportAtEveryVerbosity)
{
    const std::string settingsLine = "LZSS: max offset= 256,\tmax len= 256,\tmatch bits= 16,\t";
    const std::string ratioLine = "ratio:    20 / 54 = 37.04%\n";
    const std::string streamLines = " Stream #0: 44 bits,\t91.67%,\t27.50% of output\n"
                                    " Stream #1: 53 bits,\t110.42%,\t33.12% of output\n";

    const ProgramResult quiet = runRegsqueeze({"-q", input.string()});
    EXPECT_EQ(quiet.err, settingsLine + ratioLine);
    EXPECT_EQ(quiet.out, "");

    const ProgramResult normal = runRegsqueeze({input.string()});
    EXPECT_EQ(normal.err, skipNotices() + settingsLine + ratioLine + streamLines);

    const ProgramResult verbose = runRegsqueeze({"-v", input.string()});
    const std::string table = "\nvalue\t  POS\t  LEN\n 0\t    0\t    5\n 1\t    1\t    0\n 2\t    1\t    1\n"
                              " 3\t    0\t    1\n 4\t    0\t    0\n";
    ASSERT_EQ(verbose.err.rfind(skipNotices() + settingsLine + ratioLine + streamLines + table, 0), 0u)
        << verbose.err;
    EXPECT_EQ(countLines(verbose.err), 7 + 1 + 2 + 2 + 257);
    EXPECT_NE(verbose.err.find("\n256\t    0\t    0\n"), std::string::npos);

    const ProgramResult eight = runRegsqueeze({"-v", "-8", input.string()});
    EXPECT_EQ(countLines(eight.err), 7 + 1 + 2 + 2 + 17);
    EXPECT_NE(eight.err.find("LZSS: max offset= 16,\tmax len= 16,\tmatch bits= 8,\t"), std::string::npos);
}

TEST_F(SixFrameSong, OutputCannotBeOpenedOrWritten)
{
    const ProgramResult unopenable = runRegsqueeze({input.string(), (dir / "no/such/dir.lz16").string()}, "conv");
    EXPECT_EQ(unopenable.status, 1);
    EXPECT_EQ(unopenable.err, "conv: can't open output file '" + (dir / "no/such/dir.lz16").string() +
                                  "': No such file or directory\n");

    const ProgramResult full = runRegsqueeze({"-q", input.string(), "/dev/full"}, "conv");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "conv: can't write output file '/dev/full': No space left on device\n");
}

TEST(ConversionInputs, MissingEmptyForeignAndFramelessFiles)
{
    TempDir dir;
    const auto output = dir / "in.lz16";
    writeFile(output, {1, 2, 3});  // an earlier result that a failed run must leave alone

    const ProgramResult missing = runRegsqueeze({(dir / "in.vgm").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "error: File '" + (dir / "in.vgm").string() + "' does not exist\n\n");

    writeFile(dir / "in.vgm", {});
    const ProgramResult empty = runRegsqueeze({(dir / "in.vgm").string()});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "error: File '" + (dir / "in.vgm").string() + "' is empty\n\n");

    writeFile(dir / "in.vgm", {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    const ProgramResult foreign = runRegsqueeze({(dir / "in.vgm").string()});
    EXPECT_EQ(foreign.status, 1);
    EXPECT_EQ(foreign.err, "error: Not a VGM file\n");

    writeFile(dir / "in.vgm", vgm::writeVgm({}));
    const ProgramResult frameless = runRegsqueeze({"-t", (dir / "in.vgm").string()});
    EXPECT_EQ(frameless.status, 1);
    EXPECT_EQ(frameless.err, "error: File '" + (dir / "in.vgm").string() + "' has no POKEY frames\n\n");

    EXPECT_EQ(readFile(output), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(ConversionInputs, UnreadableFileIsNotTakenForZeros)
{
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempDir dir;
    writeFile(dir / "locked.vgm", vgm::writeVgm(sixFrameSong()));
    std::filesystem::permissions(dir / "locked.vgm", std::filesystem::perms::none);
    const ProgramResult result = runRegsqueeze({(dir / "locked.vgm").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "error: File '" + (dir / "locked.vgm").string() + "' cannot be read\n\n");
}

TEST(Conversion, GeneratedSongsDecodeUnderEverySettingAndFormat)
{
    TempDir dir;
    std::mt19937 rng(99);
    int index = 0;
    for (int chips : {1, 2}) {
        for (SongShape shape : {SongShape::Music, SongShape::SmallAlphabet}) {
            const auto path = dir / ("song" + std::to_string(index++) + ".vgm");
            auto frames = makeSong(rng, 400 + static_cast<int32_t>(rng() % 300), shape);
            if (chips == 2 && frames.size() % 2) frames.pop_back();
            writeFile(path, vgm::writeVgm(frames, {.chips = chips, .wait = vgm::Wait::Short}));
            expectConvertsAndDecodes(path, {}, LzssSettings{8, 8, 1}, false);
            expectConvertsAndDecodes(path, {"-x", "-e"}, LzssSettings{8, 8, 1}, true);
            expectConvertsAndDecodes(path, {"-8", "-m", "2"}, LzssSettings{4, 4, 2}, false);
            expectConvertsAndDecodes(path, {"-2", "-x"}, LzssSettings{7, 5, 1}, true);
            expectConvertsAndDecodes(path, {"-o", "12", "-l", "4", "-m", "5"}, LzssSettings{12, 4, 5}, false);
        }
    }
}

TEST(Conversion, CorpusSongsDecode)
{
    const std::filesystem::path corpus = corpusDir();
    if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    for (const char* name : {"Bells.vgm", "Barymag_2_8.vgm", "ABBUC_20_1.vgm"}) {
        expectConvertsAndDecodes(corpus / name, {"-q"}, LzssSettings{8, 8, 1}, false);
        expectConvertsAndDecodes(corpus / name, {"-q", "-x", "-2"}, LzssSettings{7, 5, 1}, true);
    }
}

TEST(Conversion, BundledExampleSongMatchesItsGenerator)
{
    EXPECT_EQ(readFile(std::filesystem::path(REGSQUEEZE_SOURCE_DIR) / "examples/example.vgm"),
              readFile(std::filesystem::path(REGSQUEEZE_BUILD_DIR) / "example.vgm"));
    expectConvertsAndDecodes(std::filesystem::path(REGSQUEEZE_SOURCE_DIR) / "examples/example.vgm", {"-q"},
                             LzssSettings{}, false);
}

TEST(CompressedInput, VgzGivesTheSameOutputAsVgm)
{
    TempDir dir;
    std::mt19937 rng(11);
    const std::vector<uint8_t> plain = vgm::writeVgm(makeSong(rng, 900, SongShape::Music));
    writeFile(dir / "song.vgm", plain);
    writeFile(dir / "song.vgz", gzipBytes(plain));
    const ProgramResult fromPlain = runRegsqueeze({"-v", (dir / "song.vgm").string(), (dir / "plain.lz16").string()});
    const ProgramResult fromPacked = runRegsqueeze({"-v", (dir / "song.vgz").string()});
    EXPECT_EQ(fromPacked.status, 0) << fromPacked.err;
    EXPECT_EQ(fromPacked.err, fromPlain.err);
    EXPECT_EQ(readFile(dir / "song.lz16"), readFile(dir / "plain.lz16"));
}

TEST(CompressedInput, BrokenAndOversizedVgzFilesAreRejected)
{
    TempDir dir;
    const std::vector<uint8_t> packed = gzipBytes(vgm::writeVgm(sixFrameSong()));
    const auto path = dir / "song.vgz";

    writeFile(path, std::vector<uint8_t>(packed.begin(), packed.begin() + packed.size() / 2));
    const ProgramResult truncated = runRegsqueeze({path.string()});
    EXPECT_EQ(truncated.status, 1);
    EXPECT_EQ(truncated.err, "error: File '" + path.string() + "' is not a valid gzip stream\n\n");

    std::vector<uint8_t> corrupt = packed;
    corrupt[corrupt.size() - 5] ^= 0xFF;
    writeFile(path, corrupt);
    EXPECT_EQ(runRegsqueeze({path.string()}).err, "error: File '" + path.string() + "' is not a valid gzip stream\n\n");

    writeFile(path, gzipZeros((256u << 20) + 1));
    const ProgramResult bomb = runRegsqueeze({path.string()});
    EXPECT_EQ(bomb.status, 1);
    EXPECT_EQ(bomb.err, "error: File '" + path.string() + "' is too large when decompressed\n\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "song.lz16"));
}

TEST(Trimming, MessagesComeInOrderBeforeTheReportAndTheFileHoldsTheTrimmedSong)
{
    TempDir dir;
    // 20 silent frames, a 30-frame intro, a 64-frame pattern three times, 10 silent frames.
    std::vector<vgm::Frame> frames(20, vgm::Frame{0x55, 0xA0, 0, 0, 0, 0, 0, 0, 0x28});
    for (int i = 0; i < 30; ++i) frames.push_back({static_cast<uint8_t>(200 + i), 0xA8, 1, 0, 0, 0, 0, 0, 0});
    for (int repeat = 0; repeat < 3; ++repeat) {
        for (int i = 0; i < 64; ++i)
            frames.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(0xA1 + i % 15), 2, 0xA3, 0, 0, 0, 0, 0});
    }
    for (int i = 0; i < 10; ++i) frames.push_back({9, 0, 9, 0, 0, 0, 0, 0, 0});
    writeFile(dir / "song.vgm", vgm::writeVgm(frames));

    const ProgramResult result = runRegsqueeze({"-q", "-t", (dir / "song.vgm").string()}, "conv");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err.rfind("conv: skipping 10 frames from the end.conv: skipping 20 frames from the start."
                               "conv: loop detected from frame 94 to 30 (of 222)\n",
                               0),
              0u)
        << result.err;
    EXPECT_NE(result.err.find("ratio: "), std::string::npos);

    const DecodedSong decoded = decodeCompressedFile(readFile(dir / "song.lz16"), LzssSettings{}, false);
    const RegisterStreamSet expected = toStreams({frames.begin() + 20, frames.begin() + 20 + 94});
    EXPECT_EQ(decoded.streams.frameCount, 94);
    EXPECT_EQ(decoded.streams.streams, expected.streams);
}

TEST(Trimming, ASilentSongEndsTheRunWithoutAFile)
{
    TempDir dir;
    writeFile(dir / "quiet.vgm", vgm::writeVgm(std::vector<vgm::Frame>(50, vgm::Frame{0x40, 0xC0, 1, 0, 2, 0, 3, 0x10, 0x28})));
    const ProgramResult result = runRegsqueeze({"-t", (dir / "quiet.vgm").string()}, "conv");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "conv: song is completely silent, skipping.");
    EXPECT_FALSE(std::filesystem::exists(dir / "quiet.lz16"));
}

TEST(Trimming, UnopenableOutputIsReportedAfterTheTrimmingMessages)
{
    TempDir dir;
    const std::vector<vgm::Frame> frames = {{}, {}, {}, {1, 0xA1, 0, 0, 0, 0, 0, 0, 0}};
    writeFile(dir / "song.vgm", vgm::writeVgm(frames));
    const auto output = (dir / "missing/out.lz16").string();
    const ProgramResult result = runRegsqueeze({"-t", (dir / "song.vgm").string(), output}, "conv");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "conv: skipping 3 frames from the start.conv: can't open output file '" + output +
                              "': No such file or directory\n");
}

TEST(ConversionEdges, OneFrameSongsInBothFormats)
{
    TempDir dir;
    writeFile(dir / "one.vgm", vgm::writeVgm({vgm::Frame{0x3C, 0xA4, 1, 0, 2, 0, 3, 0, 0x28}}));
    const ProgramResult latest = runRegsqueeze({(dir / "one.vgm").string()});
    EXPECT_EQ(latest.status, 0);
    EXPECT_EQ(latest.err.rfind("Skipping channel #8, set with $28.\n", 0), 0u);
    EXPECT_NE(latest.err.find("WARNING: stream #0 contains only $3C, should not be included in output!\n"),
              std::string::npos);
    EXPECT_EQ(readFile(dir / "one.lz16"), (std::vector<uint8_t>{0xFF, 0x28, 0, 3, 0, 2, 0, 1, 0xA4, 0x3C}));

    EXPECT_EQ(runRegsqueeze({"-x", (dir / "one.vgm").string()}).status, 0);
    EXPECT_EQ(readFile(dir / "one.lz16"), (std::vector<uint8_t>{0xFF, 0x28, 0, 3, 0, 2, 0, 1, 0xA4, 0x01, 0x3C}));
}

TEST(ConversionEdges, EndRuleWithAndWithoutTheEndOption)
{
    TempDir dir;
    std::vector<vgm::Frame> frames;
    for (int i = 0; i < 90; ++i) frames.push_back({static_cast<uint8_t>(i % 3), 0xA5, 0, 0, 0, 0, 0, 0, 0});
    writeFile(dir / "song.vgm", vgm::writeVgm(frames));

    const ProgramResult forced = runRegsqueeze({"-q", (dir / "song.vgm").string()});
    EXPECT_EQ(forced.err.rfind("LZSS: fixing up stream #0 to end in a literal\nLZSS: max offset= 256,", 0), 0u)
        << forced.err;
    EXPECT_EQ(readFile(dir / "song.lz16").back(), 89 % 3);

    const ProgramResult unforced = runRegsqueeze({"-q", "-e", (dir / "song.vgm").string()});
    EXPECT_EQ(unforced.err.rfind("WARNING: stream does not end in a literal.\n"
                                 "WARNING: this can produce errors at the end of decoding.\nLZSS: max offset= 256,",
                                 0),
              0u)
        << unforced.err;
    const DecodedSong decoded = decodeCompressedFile(readFile(dir / "song.lz16"), LzssSettings{}, false);
    EXPECT_EQ(decoded.streams.frameCount, 90);
}
