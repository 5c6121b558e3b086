#include "capture/vgm_reader.h"
#include "lzss/decoder.h"
#include "support/in_memory_conversion.h"
#include "songs.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace testing_support;

namespace {

void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Converts in memory and checks that whatever converts decodes back whole.
void expectSafeConversion(const std::vector<uint8_t>& file, const LzssSettings& settings = {})
{
    testing::internal::CaptureStderr();
    const InMemoryConversion result = convertInMemory(file, settings, {.trim = file.size() % 2 == 0});
    testing::internal::GetCapturedStderr();
    if (!result.converted) return;
    EXPECT_TRUE(decodesToSong(result.bytes, result.streams, result.streams.frameCount, settings, false));
}

// The largest resident size of any child this test has waited for, in bytes.
long long largestChildMemory()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<long long>(usage.ru_maxrss) * 1024;
}

std::vector<uint8_t> sampleFile()
{
    std::mt19937 rng(8);
    return vgm::writeVgm(makeSong(rng, 120, SongShape::Music),
                         {.chips = 2, .wait = vgm::Wait::Samples, .foreignCommands = true});
}

}  // namespace

TEST(HostileInput, EveryTruncationConvertsOrIsRejected)
{
    const std::vector<uint8_t> file = sampleFile();
    for (size_t length = 0; length <= file.size(); length += 1) {
        expectSafeConversion({file.begin(), file.begin() + length}, length % 3 ? LzssSettings{} : LzssSettings{7, 5, 2});
    }
}

TEST(HostileInput, HeaderOffsetsNearTheTopOfTheAddressRange)
{
    for (uint32_t value : {0xFFFFFFFFu, 0xFFFFFFFCu, 0xFFFFFFCBu, 0xFFFFFF00u, 0x80000000u, 0x7FFFFFFFu}) {
        for (uint32_t field : {0x04u, 0x34u}) {
            std::vector<uint8_t> file = sampleFile();
            putLe32(file, field, value);
            expectSafeConversion(file);
        }
    }
}

TEST(HostileInput, DataBlocksThatLieOrHideCommands)
{
    const std::vector<uint8_t> song = sampleFile();
    // A block whose size runs past the end of the file ends the walk there.
    std::vector<uint8_t> runaway(song.begin(), song.begin() + 0x100);
    for (uint8_t byte : {0x62, 0x67, 0x66, 0x00, 0xF0, 0xFF, 0xFF, 0x7F, 0x62, 0x62}) runaway.push_back(byte);
    putLe32(runaway, 0x04, static_cast<uint32_t>(runaway.size() - 4));
    testing::internal::CaptureStderr();
    const InMemoryConversion cut = convertInMemory(runaway, {}, {});
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(cut.converted);
    EXPECT_EQ(cut.streams.frameCount, 2);  // dual chip: one wait

    // End markers and waits inside a block are data, not commands.
    std::vector<uint8_t> hidden(song.begin(), song.begin() + 0x100);
    for (uint8_t byte : {0x67, 0x66, 0x00, 0x04, 0x00, 0x00, 0x80, 0x66, 0x66, 0x62, 0x62, 0xBB, 0x01, 0xA1, 0x62, 0x66})
        hidden.push_back(byte);
    putLe32(hidden, 0x04, static_cast<uint32_t>(hidden.size() - 4));
    const InMemoryConversion found = convertInMemory(hidden, {}, {});
    ASSERT_TRUE(found.converted);
    EXPECT_EQ(found.streams.frameCount, 2);
    EXPECT_EQ(found.streams.streams[AUDC1][0], 0xA1);
}

TEST(HostileInput, AMillionWaitsWithoutWrites)
{
    TempDir dir;
    std::vector<uint8_t> file = vgm::writeVgm({});
    file.pop_back();  // the end marker
    file.insert(file.end(), 1000000, 0x62);
    file.push_back(0x66);
    putLe32(file, 0x04, static_cast<uint32_t>(file.size() - 4));
    writeFile(dir / "waits.vgm", file);

    const ProgramResult result = runRegsqueeze({"-q", (dir / "waits.vgm").string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find(" / 9000000 ="), std::string::npos) << result.err;
    const DecodedSong decoded = decodeCompressedFile(readFile(dir / "waits.lz16"), LzssSettings{}, false);
    EXPECT_EQ(decoded.streams.frameCount, 1000000);
    // Nine bytes a frame in the streams, a few tables for the one parsed channel.
    EXPECT_LT(largestChildMemory(), 150LL * 1000000 + (200LL << 20));
}

TEST(HostileInput, FiftyMegabyteFile)
{
    TempDir dir;
    std::vector<uint8_t> file = sampleFile();
    const std::vector<uint8_t> song(file.begin() + 0x100, file.end());
    file.resize(0x100);
    // A data block of 50 MB full of bytes that look like commands, then the song.
    const uint32_t blockSize = 50u << 20;
    for (uint8_t byte : {0x67, 0x66, 0x00}) file.push_back(byte);
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(blockSize >> (8 * i)));
    std::mt19937 rng(4);
    for (uint32_t i = 0; i < blockSize; ++i) file.push_back(static_cast<uint8_t>(0x60 + rng() % 8));
    file.insert(file.end(), song.begin(), song.end());
    putLe32(file, 0x04, static_cast<uint32_t>(file.size() - 4));
    writeFile(dir / "big.vgm", file);

    const ProgramResult result = runRegsqueeze({"-q", (dir / "big.vgm").string()});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find(" / 1080 ="), std::string::npos) << result.err;  // 60 waits of two chips
    EXPECT_LT(largestChildMemory(), 3LL * static_cast<long long>(file.size()) + (200LL << 20));
}

TEST(HostileInput, SongsBeyondTheFrameLimitAreRefused)
{
    TempDir dir;
    auto waits = [](size_t count) {
        std::vector<uint8_t> file = vgm::writeVgm({});
        file.pop_back();  // the end marker
        file.insert(file.end(), count, 0x62);
        file.push_back(0x66);
        putLe32(file, 0x04, static_cast<uint32_t>(file.size() - 4));
        return file;
    };
    writeFile(dir / "longest.vgm", waits(maximumFrames));
    writeFile(dir / "too-long.vgm", waits(maximumFrames + 1));

    const ProgramResult refused = runRegsqueeze({"-q", (dir / "too-long.vgm").string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "error: Song too long: more than 16777216 frames\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "too-long.lz16"));

    const ProgramResult longest = runRegsqueeze({"-q", (dir / "longest.vgm").string()});
    EXPECT_EQ(longest.status, 0) << longest.err;
}
