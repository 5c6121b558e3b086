// Reading VGM files: what the writer puts in comes back out, and broken or
// hostile files end in the program's message, never a crash or a wrong song.
#include "vgm/gzip_output.h"
#include "common/ex.h"
#include "vgm/gzip_input.h"
#include "vgm/vgm_reader.h"
#include "conversion/conversion.h"
#include "songs.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace testing_support;

namespace {

void putLe32(std::vector<uint8_t>& file, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> changed(std::vector<uint8_t> file, size_t at, uint32_t value)
{
    putLe32(file, at, value);
    return file;
}

// The error text, or the warnings when the file reads.
std::string captureError(const std::vector<uint8_t>& file)
{
    Notices notices;
    try {
        captureSong(file, "x", {}, notices);
    } catch (const Ex& e) {
        return e.what();
    }
    std::string warnings;
    for (const Notice& notice : notices) warnings += describe(notice);
    return warnings;
}

std::vector<uint8_t> waits(size_t count)
{
    std::vector<uint8_t> file = vgm::writeVgm({});
    file.pop_back();  // the end marker
    file.insert(file.end(), count, 0x62);
    putLe32(file, 0x04, static_cast<uint32_t>(file.size() - 4));
    return file;
}

}  // namespace

TEST(VgmInput, EveryKindOfWaitChipCountAndForeignCommand)
{
    std::mt19937 rng(2);
    const std::vector<vgm::Frame> frames = makeSong(rng, 120, SongShape::Music);
    const vgm::WriterOptions options[] = {
        {}, {.wait = vgm::Wait::Ntsc}, {.wait = vgm::Wait::Samples, .onlyChanges = false},
        {.wait = vgm::Wait::Short, .foreignCommands = true}, {.chips = 2, .foreignCommands = true}};
    for (const vgm::WriterOptions& option : options) {
        const std::vector<uint8_t> file = vgm::writeVgm(frames, option);
        EXPECT_TRUE(captureSong(file, "x").streams == toStreams(frames).streams) << option.chips;
        EXPECT_TRUE(captureSong(gzipBytes(file), "x").streams == toStreams(frames).streams);
    }
}

TEST(VgmInput, BrokenFilesGetTheirMessages)
{
    const std::vector<uint8_t> good = vgm::writeVgm({vgm::Frame{1, 0xA1}});
    const std::vector<uint8_t> gzip = gzipBytes(good);
    const std::vector<uint8_t> gzipCut(gzip.begin(), gzip.end() - 5);
    std::vector<uint8_t> gzipZeros = gzip, gzipJunk = gzip;
    gzipZeros.resize(gzip.size() + 7);
    gzipJunk.insert(gzipJunk.end(), {0, 'x'});
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {{'V', 'g', 'm'}, "Not a VGM file"},
        {{'V', 'g', 'm', ' '}, "Not a VGM version 1.71 file"},
        {changed(good, 0x08, 0x170), "Not a VGM version 1.71 file"},
        {changed(good, 0xB0, 0), "Not a VGM with POKEY music"},
        {vgm::writeVgm({}), "File 'x' has no POKEY frames\n"},
        {gzipCut, "File 'x' is not a valid gzip stream\n"},
        {gzipZeros, ""},
        {gzipJunk, "File 'x' has 2 bytes after its gzip data: left out\n"},
        {waits(maximumFrames), ""},
        {waits(maximumFrames + 1), "Song too long: more than 16777216 frames"},
    };
    for (const auto& [file, message] : cases) EXPECT_EQ(captureError(file), message);
    EXPECT_THROW(inflateGzip(gzipBytes(std::vector<uint8_t>(1 << 20)), 1000), GzipTooLarge);
}

TEST(VgmInput, CutAndLyingFilesNeverReadOutsideTheirBytes)
{
    std::mt19937 rng(6);
    const std::vector<vgm::Frame> frames = makeSong(rng, 20, SongShape::Noise);
    const std::vector<uint8_t> file = vgm::writeVgm(frames, {.chips = 2, .foreignCommands = true});
    for (size_t size = 0; size < file.size(); ++size) {
        const std::vector<uint8_t> cut(file.begin(), file.begin() + size);
        const std::string error = captureError(cut);
        if (error.empty()) {
            EXPECT_LE(captureSong(cut, "x").frameCount(), 20);
        }
    }
    for (size_t field : {0x04, 0x34}) {
        for (uint32_t value : {0xFFFFFFFFu, 0xFFFFFFFCu, 0xFFFFFF00u, 0x7FFFFFFFu}) captureError(changed(file, field, value));
    }
    // A data block whose size runs past the end of the file ends the walk there.
    std::vector<uint8_t> runaway = waits(3);
    for (uint8_t byte : {0x67, 0x66, 0x00, 0xF0, 0xFF, 0xFF, 0x7F, 0x62, 0x62}) runaway.push_back(byte);
    putLe32(runaway, 0x04, static_cast<uint32_t>(runaway.size() - 4));
    EXPECT_EQ(captureSong(runaway, "x").frameCount(), 3);
}
