#include "vgm/vgm_reader.h"

#include "common/ex.h"
#include "vgm/vgm_header.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

using namespace vgm;

// A header field that does not lie wholly inside the file reads as 0, so a
// short file fails the first check it cannot pass.
uint32_t readLe32(std::span<const uint8_t> file, uint64_t at)
{
    if (at + 4 > file.size()) return 0;
    return uint32_t{file[at]} | uint32_t{file[at + 1]} << 8 | uint32_t{file[at + 2]} << 16 |
           uint32_t{file[at + 3]} << 24;
}

enum class Action { None, PokeyWrite, Capture, End };

struct Command {
    uint64_t length;
    Action action;
};

// The samples a wait command waits.
uint32_t waitSamples(std::span<const uint8_t> file, uint64_t at)
{
    const uint8_t op = file[at];
    if (op == 0x61) return uint32_t{file[at + 1]} | uint32_t{file[at + 2]} << 8;
    if (op == 0x62) return 735;
    if (op == 0x63) return 882;
    return (op & 0x0F) + 1u;
}

// Every command the VGM format defines is stepped over by its full length,
// so the arguments of other chips' commands and the contents of data blocks
// are never taken for POKEY writes, waits or the end marker.
Command decodeCommand(std::span<const uint8_t> file, uint64_t at)
{
    const uint8_t op = file[at];
    if (op == 0xBB) return {3, Action::PokeyWrite};
    if (op == 0x61) return {3, Action::Capture};
    if (op == 0x62 || op == 0x63 || (op >= 0x70 && op <= 0x7F)) return {1, Action::Capture};
    if (op == 0x66) return {1, Action::End};
    if (op == 0x67) {
        // 0x67 0x66 type size32: bit 31 of the size marks a second chip.
        const uint64_t size = readLe32(file, at + 3) & 0x7FFFFFFFu;
        return {7 + size, Action::None};
    }
    if ((op >= 0x30 && op <= 0x3F) || op == 0x4F || op == 0x50) return {2, Action::None};
    if ((op >= 0x40 && op <= 0x4E) || (op >= 0x51 && op <= 0x5F) || (op >= 0xA0 && op <= 0xBF))
        return {3, Action::None};
    if (op >= 0xC0 && op <= 0xDF) return {4, Action::None};
    if (op >= 0xE0) return {5, Action::None};
    if (op == 0x68) return {12, Action::None};
    if (op == 0x90 || op == 0x91 || op == 0x95) return {5, Action::None};
    if (op == 0x92) return {6, Action::None};
    if (op == 0x93) return {11, Action::None};
    if (op == 0x94) return {2, Action::None};
    // 0x80-0x8F write a sample and wait, but they are not frame waits; bytes
    // with no defined meaning are stepped over one at a time.
    return {1, Action::None};
}

using RegisterFile = std::array<uint8_t, 16>;

void appendCapture(std::vector<uint8_t>& frames, const RegisterFile& chip)
{
    frames.insert(frames.end(), chip.begin(), chip.begin() + registersPerFrame);
}

}  // namespace

FrameCaptures readVgmFrames(std::span<const uint8_t> file)
{
    if (file.size() < 4 || !std::equal(file.begin(), file.begin() + 4, signature)) throw Ex() << "Not a VGM file";
    if (readLe32(file, versionField) < minimumVersion) throw Ex() << "Not a VGM version 1.71 file";
    const uint32_t clock = readLe32(file, pokeyClockField);
    if (clock == 0) throw Ex() << "Not a VGM with POKEY music";
    const bool dualChip = (clock & dualChipFlag) != 0;

    const uint32_t start = dataOffsetField + readLe32(file, dataOffsetField);
    const uint32_t headerEnd = eofOffsetField + readLe32(file, eofOffsetField);
    const uint64_t end = std::min<uint64_t>(headerEnd, file.size());

    // Registers are silent until their first write.
    std::array<RegisterFile, 2> chips{};
    std::vector<uint8_t> frames;
    const size_t captureSize = dualChip ? 2 * registersPerFrame : registersPerFrame;
    // The header's loop: the frame whose commands hold its offset, and the
    // samples from there to the end, which its length must reach.
    const uint32_t loopField = readLe32(file, loopOffsetField);
    const uint64_t loopAt = uint64_t{loopOffsetField} + loopField;
    int64_t loopFrame = -1;
    uint64_t samples = 0;
    uint64_t samplesAtLoop = 0;
    const size_t sizeLimit = size_t{maximumFrames} * registersPerFrame;
    for (uint64_t at = start; at < end;) {
        const Command command = decodeCommand(file, at);
        // A command cut off by the end of the file is not carried out.
        if (at + command.length > file.size() || command.action == Action::End) break;
        if (loopField != 0 && loopFrame < 0 && at >= loopAt) {
            loopFrame = static_cast<int64_t>(frames.size() / registersPerFrame);
            samplesAtLoop = samples;
        }
        if (command.action == Action::PokeyWrite) {
            const uint8_t address = file[at + 1];
            chips[address >> 7][address & 0x0F] = file[at + 2];
        } else if (command.action == Action::Capture) {
            if (frames.size() + captureSize > sizeLimit)
                throw Ex() << "Song too long: more than " << std::to_string(maximumFrames) << " frames";
            appendCapture(frames, chips[0]);
            if (dualChip) appendCapture(frames, chips[1]);
            samples += waitSamples(file, at);
        }
        at += command.length;
    }
    FrameCaptures captures;
    captures.bytes = std::move(frames);
    captures.chips = dualChip ? 2 : 1;
    if (loopField == 0) return captures;
    const auto frameCount = static_cast<int64_t>(captures.bytes.size() / registersPerFrame);
    const uint32_t loopSamples = readLe32(file, loopSamplesField);
    if (loopAt < start || loopFrame < 0 || loopFrame >= frameCount)
        captures.ownLoopFault = "has a loop offset outside its data";
    else if (loopSamples < samples - samplesAtLoop)
        captures.ownLoopFault = "has a loop of " + std::to_string(loopSamples) +
                                " samples, short of the " + std::to_string(samples - samplesAtLoop) +
                                " from its loop offset to its end";
    else
        captures.ownLoopFrame = static_cast<int32_t>(loopFrame);
    return captures;
}
