#include "vgm_writer.h"

#include "vgm/vgm_writer.h"

#include <cstddef>

namespace vgm {
namespace {

void putWait(VgmWriter& out, Wait wait, size_t index)
{
    switch (wait) {
    case Wait::Ntsc: out.wait(735); break;
    case Wait::Pal: out.wait(882); break;
    case Wait::Samples: out.putCommand({0x61, 0x72, 0x03}, 882); break;
    case Wait::Short: out.wait(static_cast<uint32_t>(1 + index % 16)); break;
    }
}

// Commands of other chips whose argument bytes look like POKEY commands,
// waits and the end marker: a reader that steps over them byte by byte would
// capture false frames or stop early.
void putForeignCommands(VgmWriter& out)
{
    out.putCommand({0x50, 0x62});              // SN76489 write of 0x62
    out.putCommand({0x52, 0x66, 0x63});        // YM2612 port 0
    out.putCommand({0xB4, 0xBB, 0x61});        // NES APU
    out.putCommand({0xC0, 0x66, 0x62, 0x70});  // Sega PCM
    out.putCommand({0xE0, 0x66, 0x66, 0x66, 0x66});  // PCM seek
}

void putDataBlock(VgmWriter& out)
{
    // Type 0x00, nine bytes of data that look like commands.
    out.putCommand({0x67, 0x66, 0x00, 9, 0, 0, 0, 0x66, 0x62, 0xBB, 0x01, 0xAF, 0x63, 0x70, 0x61, 0x00});
}

}  // namespace

std::vector<uint8_t> writeVgm(const std::vector<Frame>& frames, const WriterOptions& options)
{
    VgmWriter out(
        VgmHeader{.pokeyClock = options.pokeyClock, .dualChip = options.chips == 2, .version = options.version});
    if (options.foreignCommands) putDataBlock(out);
    const size_t step = options.chips == 2 ? 2 : 1;
    Frame last2{};
    for (size_t i = 0, wait = 0; i < frames.size(); i += step, ++wait) {
        out.writeRegisters(0, frames[i], !options.onlyChanges);
        if (options.chips == 2) {
            const Frame& second = i + 1 < frames.size() ? frames[i + 1] : last2;
            out.writeRegisters(1, second, !options.onlyChanges);
            last2 = second;
        }
        if (options.foreignCommands) putForeignCommands(out);
        putWait(out, options.wait, wait);
    }
    return out.finish();
}

}  // namespace vgm
