// The loop record against the decoder: a model of the 6502 player that
// knows only the file and the record (its ring indices, steps, passes and
// call counters) plays the song and then its loop three times, frame for
// frame as the songs the files were made from.
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
    const int ob = s.offsetBits, lb = s.lengthBits, win = 1 << ob, pbits = ob == 0 || ob >= 8 ? 8 : ob;
    const int pmask = (1 << pbits) - 1;
    size_t data = 0;
    int ctrl = 0, half = 0, x = ((old ? -1 : 0) - (old ? 1 : 2)) & (ob == 0 ? 0xFF : win - 1);
    const auto byte = [&]() -> int {
        if (data >= file.size()) throw std::out_of_range("a read past the song's end");
        return file[data++];
    };
    RegisterFrame value{};
    std::array<bool, registersPerFrame> kept{};
    std::array<std::vector<uint8_t>, registersPerFrame> ring;
    std::array<int, registersPerFrame> next{}, source{}, passes{};
    const int mask = byte();
    for (int c = 8; c >= 0; --c) {
        kept[c] = c == 0 || ((mask >> (8 - c)) & 1) == 0;
        if (!old || !kept[c]) value[c] = static_cast<uint8_t>(byte());
        ring[c].assign(win, value[c]);
        next[c] = (x + 1) & pmask;
        passes[c] = 0xFFFF;
    }
    std::vector<RegisterFrame> played(old ? 0 : 1, value);
    const auto frame = [&] {
        x = (x + 1) & (ob == 0 ? 0xFF : win - 1);
        for (int c = 8; c >= 0; --c) {
            if (!kept[c]) continue;
            bool literal = false;
            if ((x & pmask) == next[c] && (passes[c] = (passes[c] + 1) & 0xFFFF) == 0) {
                if (ctrl <= 1) ctrl = byte() | 0x100;
                literal = ctrl & 1;
                ctrl >>= 1;
                int length = 1, first = byte(), code = 0;
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
                next[c] = (x + length) & pmask;
                passes[c] = ~((length - 1) >> pbits) & 0xFFFF;
                if (literal) value[c] = static_cast<uint8_t>(first);
            }
            if (!literal) value[c] = ring[c][source[c]++ & (win - 1)];
            ring[c][x & (win - 1)] = value[c];
        }
        played.push_back(value);
    };
    if (!old && chips == 2) frame();
    // After each call, once the data is read: the counter, then the restart.
    for (int counter = word(6);;) {
        if (data != file.size() || counter-- != 0) {
            for (int i = 0; i < chips; ++i) frame();
            continue;
        }
        if (restarts-- == 0) return played;
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

}  // namespace

TEST(LoopRecord, ThePlayerItDescribesPlaysTheLoopAgainAndAgain)
{
    std::mt19937 rng(82);
    struct Setting {
        LzssSettings lzss;
        bool old;
        int chips;
    };
    // One-byte, byte-and-half and two-byte codes, 0 to 12 offset bits, both
    // formats, copies that pass their step's index (2/10/1, 3/5/1).
    const Setting settings[] = {{{8, 8, 1}, false, 1}, {{4, 6, 1}, true, 1},  {{6, 4, 2}, false, 2}, {{0, 8, 1}, false, 1},
                                {{3, 5, 1}, false, 2}, {{12, 4, 3}, true, 2}, {{2, 10, 1}, false, 1}};
    const SongShape shapes[] = {SongShape::Music, SongShape::SmallAlphabet, SongShape::Constant};
    for (int k = 0; k < 210; ++k) {
        const Setting& setting = settings[k % 7];
        const int chips = setting.chips;
        const int32_t n = chips * static_cast<int32_t>(1 + rng() % (k % 3 == 0 ? 6 : 300));
        const std::vector<vgm::Frame> frames = makeSong(rng, n, shapes[k / 7 % 3]);
        const int32_t pick = static_cast<int32_t>(rng() % 4);
        const int32_t loop = pick == 0 ? 0 : pick == 1 ? n - chips : chips * static_cast<int32_t>(rng() % (n / chips));
        SCOPED_TRACE(testing::Message() << "case " << k << " frames " << n << " loop " << loop);
        Notices notices;
        const FormatChoices format{setting.old, true};
        const CompressedFile file = writeCompressedFile(toStreams(frames), setting.lzss, format, notices, loop);
        const LoopRecord record = makeLoopRecord(file.bytes, setting.lzss, format, chips, loop);
        ASSERT_EQ(record.error, "");
        std::vector<RegisterFrame> expected(frames.begin(), frames.end());
        for (int pass = 0; pass < 3; ++pass) expected.insert(expected.end(), frames.begin() + loop, frames.end());
        ASSERT_EQ(playFromRecord(file.bytes, setting.lzss, setting.old, chips, record, 3), expected);
        // Bytes after the last whole frame would never let the player see the end.
        std::vector<uint8_t> longer = file.bytes;
        longer.push_back(0xFF);
        const bool unread = decodeCompressedFile(longer, setting.lzss, format).unreadBytes > 0;
        EXPECT_TRUE(!unread || !makeLoopRecord(longer, setting.lzss, format, chips, loop).error.empty());
    }
}
