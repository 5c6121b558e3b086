#include "vgm_writer.h"

#include <cstddef>

namespace vgm {
namespace {

constexpr uint32_t headerSize = 0x100;

void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void putWait(std::vector<uint8_t>& out, Wait wait, size_t index)
{
    switch (wait) {
    case Wait::Ntsc: out.push_back(0x62); break;
    case Wait::Pal: out.push_back(0x63); break;
    case Wait::Samples: out.insert(out.end(), {0x61, 0x72, 0x03}); break;
    case Wait::Short: out.push_back(static_cast<uint8_t>(0x70 + index % 16)); break;
    }
}

// Commands of other chips whose argument bytes look like POKEY commands,
// waits and the end marker: a reader that steps over them byte by byte would
// capture false frames or stop early.
void putForeignCommands(std::vector<uint8_t>& out)
{
    out.insert(out.end(), {0x50, 0x62});              // SN76489 write of 0x62
    out.insert(out.end(), {0x52, 0x66, 0x63});        // YM2612 port 0
    out.insert(out.end(), {0xB4, 0xBB, 0x61});        // NES APU
    out.insert(out.end(), {0xC0, 0x66, 0x62, 0x70});  // Sega PCM
    out.insert(out.end(), {0xE0, 0x66, 0x66, 0x66, 0x66});  // PCM seek
}

void putDataBlock(std::vector<uint8_t>& out)
{
    const std::vector<uint8_t> data = {0x66, 0x62, 0xBB, 0x01, 0xAF, 0x63, 0x70, 0x61, 0x00};
    out.insert(out.end(), {0x67, 0x66, 0x00});
    const auto size = static_cast<uint32_t>(data.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
    out.insert(out.end(), data.begin(), data.end());
}

void putWrites(std::vector<uint8_t>& out, const Frame& frame, const Frame& before, bool all, uint8_t chipBit)
{
    for (int r = 0; r < 9; ++r) {
        if (all || frame[r] != before[r]) out.insert(out.end(), {0xBB, static_cast<uint8_t>(chipBit | r), frame[r]});
    }
}

}  // namespace

std::vector<uint8_t> writeVgm(const std::vector<Frame>& frames, const WriterOptions& options)
{
    std::vector<uint8_t> out(headerSize, 0);
    out[0] = 'V'; out[1] = 'g'; out[2] = 'm'; out[3] = ' ';
    putLe32(out, 0x08, options.version);
    putLe32(out, 0x34, headerSize - 0x34);
    putLe32(out, 0xB0, options.pokeyClock | (options.chips == 2 ? 0x40000000u : 0u));

    if (options.foreignCommands) putDataBlock(out);
    const size_t step = options.chips == 2 ? 2 : 1;
    Frame last1{}, last2{};
    for (size_t i = 0, wait = 0; i < frames.size(); i += step, ++wait) {
        const bool first = i == 0 || !options.onlyChanges;
        putWrites(out, frames[i], last1, first, 0x00);
        last1 = frames[i];
        if (options.chips == 2) {
            const Frame& second = i + 1 < frames.size() ? frames[i + 1] : last2;
            putWrites(out, second, last2, first, 0x80);
            last2 = second;
        }
        if (options.foreignCommands) putForeignCommands(out);
        putWait(out, options.wait, wait);
    }
    out.push_back(0x66);
    putLe32(out, 0x04, static_cast<uint32_t>(out.size() - 4));
    return out;
}

}  // namespace vgm
