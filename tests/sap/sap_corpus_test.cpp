// The shared SAP tunes against the shared corpus, whose frames another
// emulation recorded at the end of every PAL frame: with --tv-frames the
// captures must agree byte for byte, and so must the files made from them.
#include "vgm/vgm_reader.h"
#include "conversion/conversion.h"
#include "sap/sap_file.h"
#include "sap/sap_machine.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const std::filesystem::path sapDir = corpusDir().parent_path() / "sap";

// The first frame and register where two songs differ, for the failure message.
std::string firstDifference(const RegisterStreamSet& a, const RegisterStreamSet& b)
{
    for (int32_t i = 0; i < std::min(a.frameCount(), b.frameCount()); ++i) {
        for (int r = 0; r < registersPerFrame; ++r) {
            if (a.streams[r][i] != b.streams[r][i])
                return "capture " + std::to_string(i) + " register " + std::to_string(r) + ": " +
                       std::to_string(a.streams[r][i]) + " against " + std::to_string(b.streams[r][i]);
        }
    }
    return "lengths " + std::to_string(a.frameCount()) + " and " + std::to_string(b.frameCount());
}

}  // namespace

TEST(SapCorpus, TvFramesEqualTheCorpusAndGiveTheSameFiles)
{
    if (!std::filesystem::exists(corpusDir()) || !std::filesystem::exists(sapDir))
        GTEST_SKIP() << "no corpus at " << corpusDir() << " or no tunes at " << sapDir;
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpusDir())) {
        if (entry.path().extension() != ".vgm") continue;
        // X.vgm comes from X.sap; X_sN.vgm from its subsong N; X_full15min.vgm plays X longer.
        std::string stem = entry.path().stem().string();
        int song = 0;
        if (stem.ends_with("_full15min")) stem.resize(stem.size() - 10);
        if (const size_t at = stem.rfind("_s"); at != std::string::npos && isdigit(stem.back())) {
            song = std::stoi(stem.substr(at + 2));
            stem.resize(at);
        }
        SCOPED_TRACE(entry.path().filename().string());
        const std::vector<uint8_t> sap = readFile(sapDir / (stem + ".sap"));
        ConversionRequest request;
        request.inputName = stem;
        const Conversion expected = convertSong(readFile(entry.path()), request);
        const int32_t tvFrames = expected.song.frameCount() / (readSapFile(sap, stem).stereo ? 2 : 1);
        request.sap = {.song = song, .seconds = tvFrames * double{palScanLines * cyclesPerScanLine} / palClock, .tvFrames = true};
        const Conversion got = convertSong(sap, request);
        EXPECT_TRUE(got.song.streams == expected.song.streams) << firstDifference(got.song, expected.song);
        EXPECT_TRUE(got.file.bytes == expected.file.bytes);
        ++compared;
    }
    EXPECT_EQ(compared, 35);
}

TEST(SapCorpus, EveryTuneAndSubsongConverts)
{
    if (!std::filesystem::exists(sapDir)) GTEST_SKIP() << "no tunes at " << sapDir;
    for (const auto& entry : std::filesystem::directory_iterator(sapDir)) {
        if (entry.path().extension() != ".sap") continue;
        const std::vector<uint8_t> sap = readFile(entry.path());
        for (int song = 0; song < readSapFile(sap, "x").songs; ++song) {
            ConversionRequest request;
            request.sap = {.song = song, .seconds = 3.0};
            EXPECT_TRUE(convertSong(sap, request).decodesBack) << entry.path() << " subsong " << song;
        }
    }
}
