#include "capture/trim_silence_and_loop.h"

#include "songs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::silentFrame;
using testing_support::toneFrame;
using testing_support::toStreams;

namespace {

using Frames = std::vector<RegisterFrame>;

Frames operator+(Frames front, const Frames& back)
{
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

Frames repeated(const RegisterFrame& frame, int count)
{
    return Frames(static_cast<size_t>(count), frame);
}

// Sounding frames with AUDF1 = first, first + 1, ..., all different.
Frames tones(int first, int count)
{
    Frames frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(toneFrame(static_cast<uint8_t>(first + i)));
    }
    return frames;
}

// Frame i is made by the given function.
template <typename MakeFrame>
Frames song(int count, MakeFrame makeFrame)
{
    Frames frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(makeFrame(i));
    }
    return frames;
}

// 10 frames that never recur, then a pattern of 64 different frames to frame 999.
Frames introThenPattern()
{
    return tones(200, 10) + song(990, [](int i) { return toneFrame(static_cast<uint8_t>(i % 64)); });
}

struct Trimmed {
    int32_t frameCount;
    std::string messages;
};

Trimmed trim(RegisterStreamSet& set)
{
    testing::internal::CaptureStderr();
    const int32_t frameCount = trimSilenceAndLoop(set, set.frameCount, "rs");
    return {frameCount, testing::internal::GetCapturedStderr()};
}

struct Case {
    const char* what;
    Frames frames;
    int32_t frameCount;
    std::string messages;
};

}  // namespace

TEST(TrimSilenceAndLoop, CutsTheSongAndSaysWhy)
{
    const RegisterFrame silent{};
    const std::string loop1000 = "rs: loop detected from frame 74 to 10 (of 1000)\n";
    const Case cases[] = {
        {"empty song", {}, 0, ""},
        {"silent end", tones(1, 3) + repeated(silent, 2), 3, "rs: skipping 2 frames from the end."},
        {"silent at both ends", repeated(silent, 4) + tones(1, 2) + repeated(silent, 5), 2,
         "rs: skipping 5 frames from the end.rs: skipping 4 frames from the start."},
        {"silence inside", tones(1, 1) + repeated(silent, 3) + tones(2, 1), 5, ""},
        {"one volume bit is sound",
         song(4, [](int i) {
             RegisterFrame frame{0xFF, 0xF0, 0xFF, 0xF0, 0xFF, 0xF0, 0xFF, 0xF0, 0xFF};
             frame[AUDC1 + 2 * i] = 0x01;
             return frame;
         }),
         4, ""},
        {"101 identical frames", repeated(toneFrame(7), 101), 1, "rs: loop detected from frame 1 to 0 (of 101)\n"},
        {"100 identical frames", repeated(toneFrame(7), 100), 100, ""},
        {"pattern after an intro", introThenPattern(), 74, loop1000},
        {"silence cut before the search", repeated(silent, 5) + introThenPattern() + repeated(silent, 3), 74,
         "rs: skipping 3 frames from the end.rs: skipping 5 frames from the start." + loop1000},
        {"silent channel's AUDF unheard",
         song(200, [](int i) { return RegisterFrame{uint8_t(i), 0, uint8_t(i % 2), 0xA4, 0, 0, 0, 0, 0}; }), 2,
         "rs: loop detected from frame 2 to 0 (of 200)\n"},
        {"sounding channel's AUDF heard", song(200, [](int i) { return toneFrame(uint8_t(i % 3)); }), 3,
         "rs: loop detected from frame 3 to 0 (of 200)\n"},
        {"AUDCTL unheard in silent frames",
         song(201, [](int i) { return i % 2 ? RegisterFrame{0, 0, 0, 0, 0, 0, 0, 0, uint8_t(i)} : toneFrame(1); }), 2,
         "rs: loop detected from frame 2 to 0 (of 201)\n"},
        {"AUDCTL heard with sound",
         song(200, [](int i) { return RegisterFrame{1, 0xA8, 0, 0, 0, 0, 0, 0, uint8_t(i % 4)}; }), 4,
         "rs: loop detected from frame 4 to 0 (of 200)\n"},
        {"loop start 101 frames before the end", tones(0, 99) + repeated(toneFrame(250), 101), 100,
         "rs: loop detected from frame 100 to 99 (of 200)\n"},
        {"loop start 100 frames before the end", tones(0, 100) + repeated(toneFrame(250), 100), 200, ""},
        {"51 frames repeated", tones(0, 100) + tones(0, 51), 100, "rs: loop detected from frame 100 to 0 (of 151)\n"},
        {"50 frames repeated", tones(0, 100) + tones(0, 50), 150, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegisterStreamSet set = toStreams(c.frames);
        const Trimmed trimmed = trim(set);
        EXPECT_EQ(trimmed.frameCount, c.frameCount);
        EXPECT_EQ(trimmed.messages, c.messages);
    }
}

TEST(TrimSilenceAndLoop, StartCutMovesEveryStreamToTheFront)
{
    // Silent frames may hold anything but volume; every register differs.
    const Frames frames = repeated(RegisterFrame{9, 0xA0, 9, 0x10, 9, 0xF0, 9, 0x00, 9}, 3) +
                          song(4, [](int i) {
                              RegisterFrame frame;
                              for (int r = 0; r < registersPerFrame; ++r) {
                                  frame[r] = static_cast<uint8_t>(0x11 * (i + 1) + 0x20 * r);
                              }
                              return frame;
                          });
    RegisterStreamSet set = toStreams(frames);

    const Trimmed trimmed = trim(set);

    EXPECT_EQ(trimmed.frameCount, 4);
    EXPECT_EQ(trimmed.messages, "rs: skipping 3 frames from the start.");
    for (int r = 0; r < registersPerFrame; ++r) {
        ASSERT_EQ(set.streams[r].size(), frames.size()) << "streams keep their length";
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(set.streams[r][i], frames[i + 3][r]) << "register " << r << ", frame " << i;
        }
    }
}

TEST(TrimSilenceAndLoop, CompletelySilentSongIsDroppedUntouched)
{
    Frames frames = repeated(RegisterFrame{}, 6);
    frames[2] = RegisterFrame{1, 0x20, 2, 0x40, 3, 0x60, 4, 0x80, 5};
    RegisterStreamSet set = toStreams(frames);
    const RegisterStreamSet before = set;

    const Trimmed trimmed = trim(set);

    EXPECT_EQ(trimmed.frameCount, 0);
    EXPECT_EQ(trimmed.messages, "rs: song is completely silent, skipping.");
    EXPECT_EQ(set.streams, before.streams);
}
