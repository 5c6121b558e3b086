#include "capture/trim_silence_and_loop.h"

#include "support/register_songs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TrimResult {
    int32_t frameCount;
    std::string messages;
};

TrimResult trim(RegisterStreamSet& set)
{
    testing::internal::CaptureStderr();
    const int32_t frameCount = trimSilenceAndLoop(set, set.frameCount, "rs");
    return {frameCount, testing::internal::GetCapturedStderr()};
}

std::vector<RegisterFrame> repeated(const RegisterFrame& frame, int count)
{
    return std::vector<RegisterFrame>(static_cast<size_t>(count), frame);
}

std::vector<RegisterFrame> operator+(std::vector<RegisterFrame> front, const std::vector<RegisterFrame>& back)
{
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

// Frames with AUDF1 = first, first + 1, ..., all distinct and sounding.
std::vector<RegisterFrame> distinctTones(int first, int count)
{
    std::vector<RegisterFrame> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(toneFrame(static_cast<uint8_t>(first + i)));
    }
    return frames;
}

// The 1000-frame song: 10 frames that never recur, then a 64-frame pattern.
std::vector<RegisterFrame> introThenPattern()
{
    std::vector<RegisterFrame> frames = distinctTones(200, 10);
    const std::vector<RegisterFrame> pattern = distinctTones(0, 64);
    while (frames.size() < 1000) {
        frames.push_back(pattern[(frames.size() - 10) % pattern.size()]);
    }
    return frames;
}

}  // namespace

TEST(TrimSilence, EmptySongIsLeftAloneQuietly)
{
    RegisterStreamSet set;
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 0);
    EXPECT_EQ(result.messages, "");
}

TEST(TrimSilence, CutsSilentFramesAtTheEnd)
{
    RegisterStreamSet set = streamsFromFrames(distinctTones(1, 3) + repeated(silentFrame(), 2));
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 3);
    EXPECT_EQ(result.messages, "rs: skipping 2 frames from the end.");
}

TEST(TrimSilence, CutsSilentFramesAtTheStartByMovingEveryStream)
{
    std::vector<RegisterFrame> frames = repeated(silentFrame(), 3) + distinctTones(1, 4);
    // Silent frames may still hold values in every register; they go too.
    for (int i = 0; i < 3; ++i) {
        frames[i] = RegisterFrame{9, 0xA0, 9, 0x10, 9, 0xF0, 9, 0x00, 9};
    }
    for (int i = 3; i < 7; ++i) {
        for (int r = 0; r < registersPerFrame; ++r) {
            if (r != AUDC1) {
                frames[i][r] = static_cast<uint8_t>(16 * i + r);
            }
        }
    }
    RegisterStreamSet set = streamsFromFrames(frames);

    const TrimResult result = trim(set);

    EXPECT_EQ(result.frameCount, 4);
    EXPECT_EQ(result.messages, "rs: skipping 3 frames from the start.");
    for (int r = 0; r < registersPerFrame; ++r) {
        ASSERT_EQ(set.streams[r].size(), 7u) << "streams are not shortened";
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(set.streams[r][i], frames[i + 3][r]) << "register " << r << ", frame " << i;
        }
    }
}

TEST(TrimSilence, ReportsTheEndCutBeforeTheStartCut)
{
    RegisterStreamSet set = streamsFromFrames(repeated(silentFrame(), 4) + distinctTones(1, 2) +
                                              repeated(silentFrame(), 5));
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 2);
    EXPECT_EQ(result.messages, "rs: skipping 5 frames from the end.rs: skipping 4 frames from the start.");
    EXPECT_EQ(set.streams[AUDF1][0], 1);
    EXPECT_EQ(set.streams[AUDF1][1], 2);
}

TEST(TrimSilence, KeepsSilenceBetweenSoundingFrames)
{
    const std::vector<RegisterFrame> frames = distinctTones(1, 1) + repeated(silentFrame(), 3) + distinctTones(2, 1);
    RegisterStreamSet set = streamsFromFrames(frames);
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 5);
    EXPECT_EQ(result.messages, "");
}

TEST(TrimSilence, SilenceDependsOnlyOnTheVolumeBits)
{
    // Each frame has one channel with a volume of 1 and every other register
    // busy; none of them is silent.
    std::vector<RegisterFrame> frames;
    for (int audc : {AUDC1, AUDC2, AUDC3, AUDC4}) {
        RegisterFrame frame{0xFF, 0xF0, 0xFF, 0xF0, 0xFF, 0xF0, 0xFF, 0xF0, 0xFF};
        frame[audc] = 0x01;
        frames.push_back(frame);
    }
    RegisterStreamSet set = streamsFromFrames(frames);
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 4);
    EXPECT_EQ(result.messages, "");
}

TEST(TrimSilence, CompletelySilentSongIsDroppedAndLeftUntouched)
{
    std::vector<RegisterFrame> frames = repeated(silentFrame(), 6);
    frames[2] = RegisterFrame{1, 0x20, 2, 0x40, 3, 0x60, 4, 0x80, 5};  // no volume anywhere
    RegisterStreamSet set = streamsFromFrames(frames);
    const RegisterStreamSet before = set;

    const TrimResult result = trim(set);

    EXPECT_EQ(result.frameCount, 0);
    EXPECT_EQ(result.messages, "rs: song is completely silent, skipping.");
    EXPECT_EQ(set.streams, before.streams);
}

TEST(TrimLoop, IdenticalFramesLoopOnTheFirstFrame)
{
    RegisterStreamSet set = streamsFromFrames(repeated(toneFrame(7), 101));
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 1);
    EXPECT_EQ(result.messages, "rs: loop detected from frame 1 to 0 (of 101)\n");
}

TEST(TrimLoop, HundredFramesAreNotSearched)
{
    RegisterStreamSet set = streamsFromFrames(repeated(toneFrame(7), 100));
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 100);
    EXPECT_EQ(result.messages, "");
}

TEST(TrimLoop, PatternAfterAnIntroLoopsBackToThePatternStart)
{
    RegisterStreamSet set = streamsFromFrames(introThenPattern());
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 74);
    EXPECT_EQ(result.messages, "rs: loop detected from frame 74 to 10 (of 1000)\n");
}

TEST(TrimLoop, SearchesOnlyWhatTheSilenceCutsLeave)
{
    RegisterStreamSet set = streamsFromFrames(repeated(silentFrame(), 5) + introThenPattern() +
                                              repeated(silentFrame(), 3));
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 74);
    EXPECT_EQ(result.messages,
              "rs: skipping 3 frames from the end."
              "rs: skipping 5 frames from the start."
              "rs: loop detected from frame 74 to 10 (of 1000)\n");
    EXPECT_EQ(set.streams[AUDF1][0], 200);
    EXPECT_EQ(set.streams[AUDF1][10], 0);
}

TEST(TrimLoop, IgnoresWhatSilentChannelsHold)
{
    // Channel 1 is silent and its AUDF changes every frame; channel 2 plays
    // a two-frame pattern.
    std::vector<RegisterFrame> frames;
    for (int i = 0; i < 200; ++i) {
        frames.push_back(RegisterFrame{static_cast<uint8_t>(i), 0, static_cast<uint8_t>(i % 2), 0xA4, 0, 0, 0, 0, 0});
    }
    RegisterStreamSet set = streamsFromFrames(frames);
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 2);
    EXPECT_EQ(result.messages, "rs: loop detected from frame 2 to 0 (of 200)\n");
}

TEST(TrimLoop, HearsTheAudfOfASoundingChannel)
{
    std::vector<RegisterFrame> frames;
    for (int i = 0; i < 200; ++i) {
        frames.push_back(toneFrame(static_cast<uint8_t>(i % 3)));
    }
    RegisterStreamSet set = streamsFromFrames(frames);
    const TrimResult result = trim(set);
    EXPECT_EQ(result.frameCount, 3);
    EXPECT_EQ(result.messages, "rs: loop detected from frame 3 to 0 (of 200)\n");
}

TEST(TrimLoop, IgnoresAudctlOnlyWhileEveryChannelIsSilent)
{
    // Silent frames in the middle with a changing AUDCTL still repeat.
    std::vector<RegisterFrame> withSilentGaps;
    for (int i = 0; i < 200; ++i) {
        RegisterFrame frame = i % 2 == 0 ? toneFrame(1) : silentFrame();
        frame[AUDCTL] = static_cast<uint8_t>(i % 2 == 0 ? 0x01 : i);
        withSilentGaps.push_back(frame);
    }
    RegisterStreamSet gaps = streamsFromFrames(withSilentGaps);
    EXPECT_EQ(trim(gaps).frameCount, 2);

    // A changing AUDCTL under a sounding channel is heard.
    std::vector<RegisterFrame> withSound;
    for (int i = 0; i < 200; ++i) {
        RegisterFrame frame = toneFrame(1);
        frame[AUDCTL] = static_cast<uint8_t>(i % 4);
        withSound.push_back(frame);
    }
    RegisterStreamSet sound = streamsFromFrames(withSound);
    EXPECT_EQ(trim(sound).frameCount, 4);
}

TEST(TrimLoop, LoopMustStartAtLeast101FramesBeforeTheEnd)
{
    // 200 frames, steady from frame 99 (the last loop start tried) or from 100.
    RegisterStreamSet early = streamsFromFrames(distinctTones(0, 99) + repeated(toneFrame(250), 101));
    TrimResult result = trim(early);
    EXPECT_EQ(result.frameCount, 100);
    EXPECT_EQ(result.messages, "rs: loop detected from frame 100 to 99 (of 200)\n");

    RegisterStreamSet late = streamsFromFrames(distinctTones(0, 100) + repeated(toneFrame(250), 100));
    result = trim(late);
    EXPECT_EQ(result.frameCount, 200);
    EXPECT_EQ(result.messages, "");
}

TEST(TrimLoop, RepetitionMustCoverAtLeast51Frames)
{
    // The first 100 frames come back, for 51 frames or for only 50.
    RegisterStreamSet longEnough = streamsFromFrames(distinctTones(0, 100) + distinctTones(0, 51));
    TrimResult result = trim(longEnough);
    EXPECT_EQ(result.frameCount, 100);
    EXPECT_EQ(result.messages, "rs: loop detected from frame 100 to 0 (of 151)\n");

    RegisterStreamSet tooShort = streamsFromFrames(distinctTones(0, 100) + distinctTones(0, 50));
    result = trim(tooShort);
    EXPECT_EQ(result.frameCount, 150);
    EXPECT_EQ(result.messages, "");
}
