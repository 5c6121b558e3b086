// A model of the 6502 player that knows only the file and the loop record
// plays the song and its loop three times, frame for frame as the decoder.
#include "atari/loop_record.h"
#include "lzss/compressed_file.h"
#include "lzss/decoder.h"
#include "songs.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

using namespace testing_support;

namespace {

std::vector<RegisterFrame> playFromRecord(std::span<const uint8_t> file, const LzssSettings& s, bool old, int chips,
                                          const LoopRecord& record, int restarts)
{
    const auto word = [&](size_t at) { return record.bytes[at] | record.bytes[at + 1] << 8; };
    const int ob = s.offsetBits, lb = s.lengthBits, win = 1 << ob;
    const int pbits = loopStepBits(s);
    const int pmask = (1 << pbits) - 1, xmask = ob > 8 ? win - 1 : pmask;
    size_t data = 0;
    int ctrl = 0, half = 0, x = -2 & xmask;  // the ring index of the last frame played, -1 (old) or 0
    const auto byte = [&]() -> int { return data < file.size() ? file[data++] : throw std::out_of_range("past the end"); };
    RegisterFrame value{};
    std::array<bool, registersPerFrame> kept{};
    std::array<std::vector<uint8_t>, registersPerFrame> ring;
    std::array<int, registersPerFrame> next{}, source{}, passes{};
    const int mask = byte();
    for (int c = 8; c >= 0; --c) {
        kept[c] = c == 0 || ((mask >> (8 - c)) & 1) == 0;
        if (!old || !kept[c]) value[c] = static_cast<uint8_t>(byte());
        ring[c].assign(win, value[c]);
        next[c] = (x + 1) & pmask, passes[c] = 0xFFFF;
    }
    std::vector<RegisterFrame> played(old ? 0 : 1, value);
    const auto frame = [&] {
        x = (x + 1) & xmask;
        for (int c = 8; c >= 0; --c) {
            bool literal = false;
            if (kept[c] && (x & pmask) == next[c] && (passes[c] = (passes[c] + 1) & 0xFFFF) == 0) {
                if (ctrl <= 1) ctrl = byte() | 0x100;
                literal = ctrl & 1, ctrl >>= 1;
                int first = byte(), length = 1, code = 0;
                if (!literal && packingOf(s) == Packing::OneByte) {
                    source[c] = first >> lb, code = first & ((1 << lb) - 1);
                } else if (!literal && packingOf(s) == Packing::ByteAndHalf) {
                    const int high = half != 0 ? half & 15 : byte();
                    half = half != 0 ? 0 : 0x10 | high >> 4;
                    source[c] = first >> (8 - ob), code = (high & 15) << (8 - ob) | (first & ((1 << (8 - ob)) - 1));
                } else if (!literal) {
                    const int both = first | byte() << 8;
                    source[c] = both & (win - 1), code = ((both >> ob) - 1) & ((1 << lb) - 1);
                }
                if (!literal) length = code + s.minMatchLength;
                next[c] = (x + length) & pmask, passes[c] = ~((length - 1) >> pbits) & 0xFFFF;
                if (literal) value[c] = static_cast<uint8_t>(first);
            }
            if (kept[c] && !literal) value[c] = ring[c][source[c]++ & (win - 1)];
            ring[c][x & (win - 1)] = value[c];
        }
        played.push_back(value);
    };
    if (!old && chips == 2) frame();
    // After each call, once the whole data is read: the counter, then the restart.
    for (int counter = word(6);;) {
        if (data != file.size() || counter-- != 0) {
            for (int i = 0; i < chips; ++i) frame();
        } else if (restarts-- == 0) {
            return played;
        } else {
            data = word(0), ctrl = record.bytes[2], half = record.bytes[3], x = word(4), counter = word(8);
            for (int i = 0; i < chips; ++i) {
                for (int c = 8; c >= 0; --c) {
                    const size_t at = 10 + 8 * static_cast<size_t>(8 - c);
                    next[c] = record.bytes[at], source[c] = word(at + 1), passes[c] = word(at + 3);
                    value[c] = record.bytes[at + 5 + i];
                    ring[c][(x - chips + 1 + i) & (win - 1)] = value[c];
                }
                played.push_back(value);
            }
        }
    }
}

}  // namespace

TEST(LoopRecord, ThePlayerItDescribesPlaysTheLoopAgainAndAgain)
{
    std::mt19937 rng(82);
    // o/l/m (every packing; 8/4/1 keeps whole length codes in half-bytes; 3/5/1
    // counts frames, 2/10/1's copies pass their step's ring index), old format, chips.
    const int settings[][5] = {{8, 8, 1, 0, 1}, {8, 4, 1, 1, 1}, {6, 4, 2, 0, 2}, {0, 8, 1, 0, 1},
                               {3, 5, 1, 0, 2}, {12, 4, 3, 1, 2}, {2, 10, 1, 0, 1}};
    const SongShape shapes[] = {SongShape::Music, SongShape::SmallAlphabet, SongShape::Constant};
    for (int k = 0; k < 210; ++k) {
        const int* setting = settings[k % 7];
        const LzssSettings lzss{setting[0], setting[1], setting[2]};
        const int chips = setting[4], n = chips * static_cast<int>(1 + rng() % (k % 3 == 0 ? 6 : 300));
        // Streams that may end early (mono, odd cases) leave calls at the end that read nothing.
        const FormatChoices format{setting[3] == 1, chips == 2 || k % 2 == 0};
        const std::vector<vgm::Frame> frames = makeSong(rng, n, shapes[k / 7 % 3]);
        const int pick = static_cast<int>(rng() % 4);
        const int loop = pick == 0 ? 0 : pick == 1 ? n - chips : chips * static_cast<int>(rng() % (n / chips));
        SCOPED_TRACE(testing::Message() << "case " << k << " frames " << n << " loop " << loop);
        Notices notices;
        const CompressedFile file = writeCompressedFile(toStreams(frames), lzss, format, notices, loop);
        const LoopRecord record = makeLoopRecord(file.bytes, lzss, format, chips, loop);
        ASSERT_EQ(record.error, "");
        // The decoder's looping song: for a file that ends in a literal, the song and three loops.
        const RegisterStreamSet looped =
            decodeLooping(file.bytes, lzss, format, *findLoopRestart(file.bytes, lzss, format, loop), 3).streams;
        std::vector<RegisterFrame> expected(looped.frameCount());
        for (size_t t = 0; t < expected.size(); ++t)
            for (int c = 0; c < registersPerFrame; ++c) expected[t][c] = looped.streams[c][t];
        ASSERT_EQ(playFromRecord(file.bytes, lzss, format.oldFormat, chips, record, 3), expected);
    }
}
