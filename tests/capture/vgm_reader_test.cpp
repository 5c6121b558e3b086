#include "capture/vgm_reader.h"

#include "cli/ex.h"
#include "vgm_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A VGM header with the data at 0x100, followed by the given commands.
std::vector<uint8_t> vgmWith(const std::vector<uint8_t>& commands, uint32_t clock = 1773447,
                             uint32_t version = 0x171)
{
    std::vector<uint8_t> file(0x100, 0);
    file[0] = 'V'; file[1] = 'g'; file[2] = 'm'; file[3] = ' ';
    putLe32(file, 0x08, version);
    putLe32(file, 0x34, 0x100 - 0x34);
    putLe32(file, 0xB0, clock);
    for (uint8_t byte : commands) file.push_back(byte);
    putLe32(file, 0x04, static_cast<uint32_t>(file.size() - 4));
    return file;
}

std::string rejection(const std::vector<uint8_t>& file)
{
    try {
        readVgmFrames(file);
    } catch (const Ex& e) {
        return e.what();
    }
    return "accepted";
}

// Register r of every capture (9-byte frames).
std::vector<uint8_t> column(const std::vector<uint8_t>& frames, int r, int frameSize = 9)
{
    std::vector<uint8_t> values;
    for (size_t at = 0; at + frameSize <= frames.size(); at += frameSize) values.push_back(frames[at + r]);
    return values;
}

}  // namespace

TEST(VgmHeader, ChecksMagicVersionAndClockInOrder)
{
    std::vector<uint8_t> notVgm = vgmWith({0x62});
    notVgm[0] = 'v';
    EXPECT_EQ(rejection(notVgm), "Not a VGM file");
    EXPECT_EQ(rejection(vgmWith({0x62}, 0, 0x170)), "Not a VGM version 1.71 file");
    EXPECT_EQ(rejection(vgmWith({0x62}, 0, 0x171)), "Not a VGM with POKEY music");
    EXPECT_EQ(rejection(vgmWith({0x62}, 1773447, 0x171)), "accepted");
    EXPECT_EQ(rejection(vgmWith({0x62}, 1773447, 0x172)), "accepted");
    EXPECT_EQ(rejection(vgmWith({0x62}, 1773447, 0x200)), "accepted");
}

TEST(VgmHeader, ShortFilesFailTheFirstCheckTheyCannotPass)
{
    EXPECT_EQ(rejection({'V', 'g', 'm'}), "Not a VGM file");
    EXPECT_EQ(rejection({'V', 'g', 'm', ' '}), "Not a VGM version 1.71 file");
    std::vector<uint8_t> noClock = vgmWith({});
    noClock.resize(0xB2);  // the clock field is cut in half
    EXPECT_EQ(rejection(noClock), "Not a VGM with POKEY music");
}

TEST(VgmHeader, EveryTruncationIsHandledWithoutReadingPastTheEnd)
{
    const std::vector<uint8_t> full = vgm::writeVgm(std::vector<vgm::Frame>(20, vgm::Frame{1, 0xAF, 3}),
                                                    {.chips = 2, .foreignCommands = true});
    const size_t fullFrames = readVgmFrames(full).size();
    size_t previous = 0;
    for (size_t length = 0; length <= full.size(); ++length) {
        const std::vector<uint8_t> cut(full.begin(), full.begin() + length);
        std::vector<uint8_t> frames;
        try {
            frames = readVgmFrames(cut);
        } catch (const Ex&) {
            ASSERT_LT(length, 0xB4u);
            continue;
        }
        EXPECT_EQ(frames.size() % 18, 0u);
        EXPECT_GE(frames.size(), previous);  // a longer file never loses a capture
        previous = frames.size();
    }
    EXPECT_EQ(previous, fullFrames);
}

TEST(VgmHeader, OffsetsFarBeyondTheFileWalkNothingOrStopAtItsEnd)
{
    std::vector<uint8_t> file = vgmWith({0x62, 0x62});
    putLe32(file, 0x34, 0xFFFFFF00);  // the start wraps around to 0x34 - 0x100
    EXPECT_TRUE(readVgmFrames(file).empty());
    file = vgmWith({0x62, 0x62});
    putLe32(file, 0x34, 0x7FFFFFFF);
    EXPECT_TRUE(readVgmFrames(file).empty());
    file = vgmWith({0x62, 0x62});
    putLe32(file, 0x04, 0xFFFFFFF0);  // the end lies far beyond the file
    EXPECT_EQ(readVgmFrames(file).size(), 18u);
}

TEST(VgmWalk, CapturesChipOneAtEveryWait)
{
    const auto frames = readVgmFrames(vgmWith({0xBB, 0x01, 0xAF, 0x62, 0xBB, 0x01, 0xA5, 0x62, 0x66}));
    EXPECT_EQ(column(frames, 1), (std::vector<uint8_t>{0xAF, 0xA5}));
    EXPECT_EQ(column(frames, 0), (std::vector<uint8_t>{0, 0}));  // silent before the first write
}

TEST(VgmWalk, EveryWaitKindCapturesOnceAndConsumesItsArguments)
{
    // 0x61 0x72 0x03 waits 882 samples; the 0x62-looking argument is not a wait.
    EXPECT_EQ(readVgmFrames(vgmWith({0x61, 0x62, 0x62})).size(), 9u);
    EXPECT_EQ(readVgmFrames(vgmWith({0x61, 0x72, 0x03, 0x70, 0x7F, 0x63, 0x62})).size(), 45u);
}

TEST(VgmWalk, RegisterAddressesSelectChipAndIgnoreBitsFourToSix)
{
    EXPECT_EQ(column(readVgmFrames(vgmWith({0xBB, 0x71, 0x44, 0x62})), 1), (std::vector<uint8_t>{0x44}));
    // Registers 9 to 15 are kept but never captured; chip 2 is not captured in a single-chip file.
    const auto single = readVgmFrames(vgmWith({0xBB, 0x0F, 0x11, 0xBB, 0x09, 0x22, 0xBB, 0x81, 0x33, 0x62}));
    EXPECT_EQ(single, std::vector<uint8_t>(9, 0));

    const auto dual = readVgmFrames(vgmWith({0xBB, 0x81, 0x33, 0x62, 0x62}, 0x40000000));
    ASSERT_EQ(dual.size(), 36u);
    EXPECT_EQ(column(dual, 1), (std::vector<uint8_t>{0, 0x33, 0, 0x33}));
}

TEST(VgmWalk, StopsAtTheEndMarkerAndTheHeaderEnd)
{
    EXPECT_EQ(readVgmFrames(vgmWith({0x62, 0x66, 0x62, 0x62})).size(), 9u);
    std::vector<uint8_t> file = vgmWith({0x62, 0x62, 0x62});
    putLe32(file, 0x04, 0x100 + 2 - 4);  // the header ends after two commands
    EXPECT_EQ(readVgmFrames(file).size(), 18u);
}

TEST(VgmWalk, ACommandCutOffByTheEndOfTheFileIsNotCarriedOut)
{
    std::vector<uint8_t> file = vgmWith({0x62, 0xBB, 0x01});
    putLe32(file, 0x04, 0x1000);
    EXPECT_EQ(column(readVgmFrames(file), 1), (std::vector<uint8_t>{0}));
    file = vgmWith({0x62, 0x61, 0x72});
    EXPECT_EQ(readVgmFrames(file).size(), 9u);
}

TEST(VgmWalk, OtherChipsCommandsAreSkippedByTheirFullLength)
{
    // An SN76489 write of 0x62 is one command, not a wait.
    EXPECT_EQ(readVgmFrames(vgmWith({0x50, 0x62})).size(), 0u);
    // A byte with no meaning is stepped over alone.
    EXPECT_EQ(readVgmFrames(vgmWith({0x2F, 0x62})).size(), 9u);
    EXPECT_EQ(readVgmFrames(vgmWith({0x30, 0x66, 0x52, 0x66, 0x62, 0xC0, 0x62, 0x62, 0x62, 0xE0, 0x66, 0x62,
                                     0x62, 0x62, 0x68, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66,
                                     0x66, 0x66, 0x90, 0x62, 0x62, 0x62, 0x62, 0x92, 0x62, 0x62, 0x62, 0x62,
                                     0x62, 0x93, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62, 0x62,
                                     0x94, 0x66, 0x80, 0x62}))
                  .size(),
              9u);
}

TEST(VgmWalk, DataBlocksAreSkippedWholeWhateverTheyHold)
{
    const std::vector<uint8_t> block = {0x67, 0x66, 0x00, 0x04, 0x00, 0x00, 0x80, 0x66, 0x62, 0xBB, 0x01};
    std::vector<uint8_t> commands = block;
    commands.insert(commands.end(), {0xBB, 0x01, 0xA1, 0x62});
    EXPECT_EQ(column(readVgmFrames(vgmWith(commands)), 1), (std::vector<uint8_t>{0xA1}));

    // A block whose size runs past the end of the file ends the walk.
    std::vector<uint8_t> runaway = {0x62, 0x67, 0x66, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x62};
    EXPECT_EQ(readVgmFrames(vgmWith(runaway)).size(), 9u);
}

TEST(VgmWalk, WriterOutputReadsBackWithForeignCommandsAndEveryWaitKind)
{
    std::vector<vgm::Frame> song;
    for (int i = 0; i < 40; ++i)
        song.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(0xA0 | (i % 16)), 7, 0, 0x66, 0x62, 0, 0, 0x28});
    for (vgm::Wait wait : {vgm::Wait::Ntsc, vgm::Wait::Pal, vgm::Wait::Samples, vgm::Wait::Short}) {
        for (int chips : {1, 2}) {
            const auto frames = readVgmFrames(vgm::writeVgm(song, {.chips = chips, .wait = wait, .foreignCommands = true}));
            ASSERT_EQ(frames.size(), 9 * song.size());
            for (size_t i = 0; i < song.size(); ++i)
                EXPECT_TRUE(std::equal(song[i].begin(), song[i].end(), frames.begin() + 9 * i));
        }
    }
}

TEST(RegisterStreams, NormalisesAudcAndLeavesTheRestAlone)
{
    EXPECT_EQ(normaliseAudc(0xA0), 0x00);
    EXPECT_EQ(normaliseAudc(0xF5), 0x15);
    EXPECT_EQ(normaliseAudc(0xE8), 0xA8);
    EXPECT_EQ(normaliseAudc(0x68), 0x28);
    EXPECT_EQ(normaliseAudc(0xC8), 0xC8);
    EXPECT_EQ(normaliseAudc(0x8A), 0x8A);

    const std::vector<uint8_t> frame = {0xA0, 0xA0, 0xF5, 0xF5, 0xE8, 0xE8, 0x68, 0x68, 0xF5};
    RegisterStreamSet streams;
    ASSERT_EQ(buildRegisterStreams(frame, streams), 1);
    const std::vector<uint8_t> expected = {0xA0, 0x00, 0xF5, 0x15, 0xE8, 0xA8, 0x68, 0x28, 0xF5};
    for (int r = 0; r < 9; ++r) EXPECT_EQ(streams.streams[r], std::vector<uint8_t>{expected[r]}) << r;
}

TEST(RegisterStreams, TakesEveryCompleteFrameAndAlternatesChips)
{
    std::vector<uint8_t> sequence;
    for (uint8_t i = 0; i < 6; ++i) sequence.insert(sequence.end(), 9, i);
    sequence.push_back(0x55);  // a partial frame is not taken
    RegisterStreamSet streams;
    ASSERT_EQ(buildRegisterStreams(sequence, streams), 6);
    EXPECT_EQ(streams.streams[0], (std::vector<uint8_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(streams.streams[8], (std::vector<uint8_t>{0, 1, 2, 3, 4, 5}));
}
