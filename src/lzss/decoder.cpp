#include "lzss/decoder.h"

#include "lzss/file_format.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {

// Reads bytes, flags and match codes in the order the writer put them.
class StepReader {
public:
    StepReader(std::span<const uint8_t> bytes, const LzssSettings& settings) : bytes_(bytes), settings_(settings) {}

    std::optional<uint8_t> byte()
    {
        if (at_ >= bytes_.size()) return std::nullopt;
        return bytes_[at_++];
    }

    std::optional<int> flag()
    {
        if (flagsLeft_ == 0) {
            controlAt_ = at_;
            const auto control = byte();
            if (!control) return std::nullopt;
            control_ = *control;
            flagsLeft_ = 8;
        }
        const int bit = control_ & 1;
        control_ >>= 1;
        --flagsLeft_;
        return bit;
    }

    struct Code {
        int32_t offsetCode;
        int32_t lengthCode;
    };

    std::optional<Code> matchCode()
    {
        const int32_t offsetBits = settings_.offsetBits;
        const int32_t lengthBits = settings_.lengthBits;
        const Packing packing = packingOf(settings_);
        const auto first = byte();
        if (!first) return std::nullopt;
        if (packing == Packing::OneByte) return Code{*first >> lengthBits, *first & ((1 << lengthBits) - 1)};
        if (packing == Packing::ByteAndHalf) {
            const int32_t lowBits = 8 - offsetBits;
            const int32_t low = *first & ((1 << lowBits) - 1);
            int32_t high;
            if (halfByteWaiting_) {
                high = halfByte_ >> 4;
                halfByteWaiting_ = false;
            } else {
                halfByteAt_ = at_;
                const auto slot = byte();
                if (!slot) return std::nullopt;
                halfByte_ = *slot;
                halfByteWaiting_ = true;
                high = halfByte_ & 0x0F;
            }
            return Code{*first >> lowBits, (high << lowBits) | low};
        }
        const auto second = byte();
        if (!second) return std::nullopt;
        const uint32_t value = *first | uint32_t{*second} << 8;
        // The field above the offset holds length code + 1, modulo its width.
        const uint32_t lengthField = value >> offsetBits;
        const uint32_t lengthCode = (lengthField + (1u << lengthBits) - 1) & ((1u << lengthBits) - 1);
        return Code{static_cast<int32_t>(value & ((1u << offsetBits) - 1)), static_cast<int32_t>(lengthCode)};
    }

    size_t position() const { return at_; }

    // Where the reader stands, in the terms a player restores it from.
    void saveTo(LoopRestart& restart) const
    {
        restart.dataOffset = static_cast<int64_t>(at_);
        restart.controlOffset = flagsLeft_ > 0 ? static_cast<int64_t>(controlAt_) : -1;
        restart.flagsUsed = flagsLeft_ > 0 ? 8 - flagsLeft_ : 0;
        restart.halfByteOffset = halfByteWaiting_ ? static_cast<int64_t>(halfByteAt_) : -1;
    }

    void restoreFrom(const LoopRestart& restart)
    {
        at_ = static_cast<size_t>(restart.dataOffset);
        flagsLeft_ = restart.controlOffset >= 0 ? 8 - restart.flagsUsed : 0;
        control_ = restart.controlOffset >= 0 ? static_cast<uint8_t>(bytes_[restart.controlOffset] >> restart.flagsUsed) : 0;
        controlAt_ = static_cast<size_t>(std::max<int64_t>(restart.controlOffset, 0));
        halfByteWaiting_ = restart.halfByteOffset >= 0;
        halfByteAt_ = static_cast<size_t>(std::max<int64_t>(restart.halfByteOffset, 0));
        halfByte_ = halfByteWaiting_ ? bytes_[halfByteAt_] : 0;
    }

private:
    std::span<const uint8_t> bytes_;
    LzssSettings settings_;
    size_t at_ = 0;
    uint8_t control_ = 0;
    int flagsLeft_ = 0;
    uint8_t halfByte_ = 0;
    bool halfByteWaiting_ = false;
    size_t controlAt_ = 0;   // the control byte whose flags are being read
    size_t halfByteAt_ = 0;  // the half-byte slot waiting for its second code
};

struct Copy {
    int32_t source = 0;     // the frame the next copied value comes from
    int32_t remaining = 0;  // values still to copy
};

// The header: which channels are left out, and the values it holds.
struct Header {
    std::array<bool, registersPerFrame> skipped{};
    std::array<uint8_t, registersPerFrame> initial{};
};

// Reads the channel mask and the initial values; the error when they are cut short.
std::string readHeader(StepReader& reader, const FormatChoices& format, Header& header)
{
    const auto mask = reader.byte();
    if (!mask) return "no channel mask";
    for (int c = 1; c < registersPerFrame; ++c) header.skipped[c] = (*mask >> maskBit(c)) & 1;
    for (int c = firstChannel; c >= 0; --c) {
        if (format.oldFormat && !header.skipped[c]) continue;
        const auto value = reader.byte();
        if (!value) return "initial values cut short";
        header.initial[c] = *value;
    }
    return {};
}

enum class Step { Done, OutOfData, BeforeFirstFrame };

// Reads the step that starts at frame in a channel whose copy has run out:
// a literal, whose value goes to literal, or a match, set up in copy.
Step readStep(StepReader& reader, const LzssSettings& settings, int32_t base, int32_t frame, Copy& copy,
              std::optional<uint8_t>& literal, int64_t& stepBits)
{
    const auto flag = reader.flag();
    if (!flag) return Step::OutOfData;
    if (*flag == 1) {
        literal = reader.byte();
        if (!literal) return Step::OutOfData;
        stepBits += literalCost;
        return Step::Done;
    }
    const auto code = reader.matchCode();
    if (!code) return Step::OutOfData;
    stepBits += settings.matchCost();
    // The source is the one frame in the window whose index is congruent
    // to the offset code plus the base.
    const int32_t window = settings.windowSize();
    const int32_t back = ((frame - 1 - code->offsetCode - base) % window + window) % window;
    copy.source = frame - 1 - back;
    copy.remaining = code->lengthCode + settings.minMatchLength;
    return copy.source < 0 ? Step::BeforeFirstFrame : Step::Done;
}

// Appends frame's value to a compressed channel's stream: the next value of
// its running copy, or else of the step that starts here.
Step decodeStep(StepReader& reader, const LzssSettings& settings, int32_t base, int32_t frame, Copy& copy,
                std::vector<uint8_t>& stream, int64_t& stepBits)
{
    if (copy.remaining == 0) {
        std::optional<uint8_t> literal;
        if (const Step step = readStep(reader, settings, base, frame, copy, literal, stepBits); step != Step::Done)
            return step;
        if (literal) {
            stream.push_back(*literal);
            return Step::Done;
        }
    }
    stream.push_back(stream[copy.source++]);
    --copy.remaining;
    return Step::Done;
}

}  // namespace

DecodedSong decodeCompressedFile(std::span<const uint8_t> bytes, const LzssSettings& settings,
                                 const FormatChoices& format, int32_t maxFrames)
{
    DecodedSong song;
    auto& streams = song.streams.streams;
    StepReader reader(bytes, settings);
    Header header;
    song.error = readHeader(reader, format, header);
    if (!song.error.empty()) return song;

    const int32_t firstFrame = firstStepFrame(format);
    if (firstFrame == 1) {
        for (int c = 0; c < registersPerFrame; ++c) streams[c].push_back(header.initial[c]);
    }
    const int32_t base = offsetBase(format);
    std::array<Copy, registersPerFrame> copies{};
    size_t endOfLastFrame = reader.position();

    // A frame counts only once every channel has its value.
    int32_t frame = firstFrame;
    for (Step step = Step::Done; frame < maxFrames; ++frame) {
        for (int c = firstChannel; c >= 0 && step == Step::Done; --c) {
            if (header.skipped[c]) streams[c].push_back(header.initial[c]);
            else step = decodeStep(reader, settings, base, frame, copies[c], streams[c], song.stepBits[c]);
        }
        if (step == Step::BeforeFirstFrame) song.error = "match before the first frame at frame " + std::to_string(frame);
        if (step != Step::Done) break;
        endOfLastFrame = reader.position();
    }
    for (auto& stream : streams) stream.resize(frame);
    song.unreadBytes = static_cast<int64_t>(bytes.size() - endOfLastFrame);
    return song;
}

DecodedLength measureCompressedFile(std::span<const uint8_t> bytes, const LzssSettings& settings,
                                    const FormatChoices& format, int32_t maxFrames)
{
    DecodedLength length;
    StepReader reader(bytes, settings);
    Header header;
    length.error = readHeader(reader, format, header);
    if (!length.error.empty()) return length;

    const int32_t base = offsetBase(format);
    std::array<Copy, registersPerFrame> copies{};
    std::array<int64_t, registersPerFrame> stepBits{};
    size_t endOfLastFrame = reader.position();
    int32_t frame = firstStepFrame(format);
    for (Step step = Step::Done; frame < maxFrames;) {
        int32_t together = maxFrames - frame;  // the frames every channel goes on copying after this one
        for (int c = firstChannel; c >= 0 && step == Step::Done; --c) {
            if (header.skipped[c]) continue;
            Copy& copy = copies[c];
            std::optional<uint8_t> literal;
            if (copy.remaining == 0) step = readStep(reader, settings, base, frame, copy, literal, stepBits[c]);
            if (step == Step::Done && !literal) --copy.remaining;
            together = std::min(together, copy.remaining);
        }
        if (step == Step::BeforeFirstFrame) length.error = "match before the first frame at frame " + std::to_string(frame);
        if (step != Step::Done) break;
        endOfLastFrame = reader.position();
        // Frames in which every channel copies read nothing: they are passed at once.
        together = std::min(together, maxFrames - frame - 1);
        for (Copy& copy : copies) copy.remaining = std::max(copy.remaining - together, 0);
        frame += 1 + together;
    }
    length.frames = frame;
    length.unreadBytes = static_cast<int64_t>(bytes.size() - endOfLastFrame);
    return length;
}

namespace {

// A player's view of a channel: a ring of the last window's values, the
// slot of frame f being f modulo the window.
struct Ring {
    std::vector<uint8_t> slots;
    int32_t mask = 0;
};

// Decodes one value of a compressed channel at frame through its ring,
// as decodeStep does through the whole stream. The copy's source is kept
// as a frame number whose low bits name the slot.
Step decodeRingStep(StepReader& reader, const LzssSettings& settings, int32_t base, int32_t frame, Copy& copy,
                    Ring& ring, uint8_t& value)
{
    if (copy.remaining == 0) {
        std::optional<uint8_t> literal;
        int64_t bits = 0;
        if (const Step step = readStep(reader, settings, base, frame, copy, literal, bits); step != Step::Done)
            return step;
        if (literal) {
            value = *literal;
            ring.slots[frame & ring.mask] = value;
            return Step::Done;
        }
    }
    // The source is read before the frame's own slot is written: at the
    // farthest distance the two are the same slot.
    value = ring.slots[copy.source++ & ring.mask];
    --copy.remaining;
    ring.slots[frame & ring.mask] = value;
    return Step::Done;
}

// What the looping decoder does when it reaches a frame of interest.
struct LoopingRun {
    const LoopRestart* restart = nullptr;  // go back here at the end of the data
    int32_t extraPasses = 0;               // how many times
    int32_t saveAt = -1;                   // or save the state before this frame's steps
    LoopRestart* saved = nullptr;
};

// Decodes like a player: rings of the window's size, and at the end of the
// data either the end of the song or a restart from run.restart.
DecodedSong decodeThroughRings(std::span<const uint8_t> bytes, const LzssSettings& settings,
                               const FormatChoices& format, const LoopingRun& run)
{
    DecodedSong song;
    auto& streams = song.streams.streams;
    StepReader reader(bytes, settings);
    Header header;
    song.error = readHeader(reader, format, header);
    if (!song.error.empty()) return song;

    const int32_t base = offsetBase(format);
    const int32_t firstFrame = firstStepFrame(format);
    std::array<Ring, registersPerFrame> rings;
    for (Ring& ring : rings) {
        ring.slots.assign(static_cast<size_t>(settings.windowSize()), 0);
        ring.mask = settings.windowSize() - 1;
    }
    std::array<Copy, registersPerFrame> copies{};
    // The frames the header holds: every channel's value, into its ring.
    const auto headerFrames = [&](int32_t from) {
        for (int32_t frame = from; frame < firstFrame; ++frame) {
            for (int c = 0; c < registersPerFrame; ++c) {
                streams[c].push_back(header.initial[c]);
                rings[c].slots[frame & rings[c].mask] = header.initial[c];
            }
        }
    };
    headerFrames(0);

    int32_t passesLeft = run.extraPasses;
    std::array<uint8_t, registersPerFrame> values{};
    for (int32_t frame = firstFrame;; ++frame) {
        if (frame == run.saveAt && run.saved) {
            reader.saveTo(*run.saved);
            for (int c = 0; c < registersPerFrame; ++c)
                run.saved->copies[c] = {copies[c].remaining, copies[c].source & rings[c].mask};
        }
        Step step = Step::Done;
        for (int c = firstChannel; c >= 0 && step == Step::Done; --c) {
            if (header.skipped[c]) values[c] = header.initial[c];
            else step = decodeRingStep(reader, settings, base, frame, copies[c], rings[c], values[c]);
        }
        if (step == Step::BeforeFirstFrame) {
            song.error = "match before the first frame at frame " + std::to_string(frame);
            return song;
        }
        if (step == Step::OutOfData) {
            if (!run.restart || passesLeft == 0) return song;
            // The end of the song: back to the loop start, with the rings kept.
            if (frame <= run.restart->loopFrame) {
                song.error = "the song ends before its loop start";
                return song;
            }
            --passesLeft;
            reader.restoreFrom(*run.restart);
            for (int c = 0; c < registersPerFrame; ++c)
                copies[c] = {run.restart->copies[c].sourceSlot, run.restart->copies[c].remaining};
            headerFrames(run.restart->loopFrame);
            frame = std::max(run.restart->loopFrame, firstFrame) - 1;
            continue;
        }
        for (int c = 0; c < registersPerFrame; ++c) streams[c].push_back(values[c]);
    }
}

}  // namespace

std::optional<LoopRestart> findLoopRestart(std::span<const uint8_t> bytes, const LzssSettings& settings,
                                           const FormatChoices& format, int32_t loopFrame)
{
    LoopRestart restart;
    restart.loopFrame = loopFrame;
    LoopingRun run;
    run.saveAt = std::max(loopFrame, firstStepFrame(format));
    run.saved = &restart;
    const DecodedSong song = decodeThroughRings(bytes, settings, format, run);
    // The state is saved when the decoder reaches saveAt, which it does
    // whenever the song holds the frames before it.
    if (!song.error.empty() || song.streams.frameCount() < loopFrame) return std::nullopt;
    return restart;
}

DecodedSong decodeLooping(std::span<const uint8_t> bytes, const LzssSettings& settings, const FormatChoices& format,
                          const LoopRestart& restart, int32_t extraPasses)
{
    LoopingRun run;
    run.restart = &restart;
    run.extraPasses = extraPasses;
    return decodeThroughRings(bytes, settings, format, run);
}
