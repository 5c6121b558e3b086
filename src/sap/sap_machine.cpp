#include "sap/sap_machine.h"

#include "common/ex.h"
#include "common/notice.h"
#include "streams/register_streams.h"
#include "cpu6502/cpu6502.h"

#include <algorithm>
#include <array>
#include <memory>

namespace {

// A POKEY decodes only the low four address bits, so its registers repeat
// through $D200-$D2FF; with two chips the second answers where bit 4 is set.
struct Pokeys {
    std::array<std::array<uint8_t, 16>, 2> registers{};
    bool stereo = false;
};

void writePokey(void* context, uint16_t address, uint8_t value)
{
    if ((address & 0xFF00) != 0xD200) return;
    Pokeys& pokeys = *static_cast<Pokeys*>(context);
    pokeys.registers[pokeys.stereo && (address & 0x10) ? 1 : 0][address & 0x0F] = value;
}

class Machine {
public:
    Machine(const SapFile& sap, const SapRun& run, const std::string& name)
        : cpu_(std::make_unique<Cpu6502>()),
          limit_(run.callCycleLimit != 0 ? run.callCycleLimit : static_cast<uint64_t>(cpuClock(sap))),
          oneSecond_(static_cast<uint64_t>(cpuClock(sap))),
          name_(name)
    {
        for (const SapSegment& segment : sap.segments)
            std::copy(segment.bytes.begin(), segment.bytes.end(), cpu_->memory.begin() + segment.start);
        pokeys_.stereo = sap.stereo;
        cpu_->ioMapped = true;
        cpu_->ioContext = &pokeys_;
        cpu_->ioWrite = writePokey;
    }

    // Call number 0 is INIT, the others are player calls, which together
    // may take no more than the player-time budget.
    void call(uint16_t address, uint8_t a, uint8_t x, uint8_t y, int64_t number, uint64_t cycles)
    {
        uint64_t limit = limit_;
        if (number > 0) {
            if (number == 1) firstCallCycle_ = cpu_->cycles;
            playedCycles_ += cycles;
            // The player calls' share of the allowance: a factor of the music
            // played so far, and one call's limit, less what the calls took.
            const uint64_t budget = playerTimeFactor * playedCycles_ + limit_;
            const uint64_t spent = cpu_->cycles - firstCallCycle_;
            limit = std::min(limit, budget > spent ? budget - spent : 0);
        }
        const CpuRunResult result = callSubroutine(*cpu_, address, a, x, y, limit);
        if (result.stop == CpuStop::Returned) return;
        const std::string what = number == 0 ? "INIT" : formatText("player call %lld", static_cast<long long>(number));
        if (result.stop == CpuStop::UndocumentedOpcode)
            fail(formatText("undocumented opcode $%02X at $%04X in %s", result.opcode, result.address, what.c_str()));
        // A call stops only at its return, an undocumented opcode or the cycle limit.
        if (limit < limit_)
            fail(formatText("%s runs too long: the player calls would take more than %d times the time of the "
                            "music they play, and %s more",
                            what.c_str(), playerTimeFactor, limitText().c_str()));
        fail(formatText("%s has not returned after %s of emulated time", what.c_str(), limitText().c_str()));
    }

    void capture(std::vector<uint8_t>& frames) const
    {
        for (int chip = 0; chip < (pokeys_.stereo ? 2 : 1); ++chip) {
            const auto& registers = pokeys_.registers[chip];
            frames.insert(frames.end(), registers.begin(), registers.begin() + registersPerFrame);
        }
    }

    uint64_t cycles() const { return cpu_->cycles; }

private:
    std::string limitText() const
    {
        return limit_ == oneSecond_ ? "one second"
                                    : formatText("%llu cycles", static_cast<unsigned long long>(limit_));
    }

    [[noreturn]] void fail(const std::string& text) const { throw Ex() << "File '" << name_ << "': " << text << "\n"; }

    std::unique_ptr<Cpu6502> cpu_;
    Pokeys pokeys_;
    uint64_t limit_;
    uint64_t oneSecond_;
    uint64_t firstCallCycle_ = 0;
    uint64_t playedCycles_ = 0;  // the time the player calls so far stand for, in cycles
    const std::string& name_;
};

}  // namespace

SapPlayback playSap(const SapFile& sap, const SapRun& run, const std::string& name)
{
    Machine machine(sap, run, name);
    const auto song = static_cast<uint8_t>(run.song);
    uint16_t player = *sap.player;
    if (sap.type == SapType::B) {
        machine.call(*sap.init, song, 0, 0, 0, 0);
    } else {
        machine.call(static_cast<uint16_t>(player + 3), 0x70, static_cast<uint8_t>(*sap.music),
                     static_cast<uint8_t>(*sap.music >> 8), 0, 0);
        machine.call(static_cast<uint16_t>(player + 3), 0x00, song, 0, 0, 0);
        player = static_cast<uint16_t>(player + 6);
    }

    // Calls start every FASTPLAY scan lines from INIT's return, the first at
    // once; a TV frame ends after the last call that starts in it.
    SapPlayback playback;
    playback.frameSequence.reserve(size_t(run.frames) * registersPerFrame * (sap.stereo ? 2 : 1));
    const int64_t linesPerFrame = run.tvFrames ? scanLinesPerTvFrame(sap) : sap.fastplay;
    int64_t calls = 0;
    for (int64_t frame = 1; frame <= run.frames; ++frame) {
        const int64_t callsByFrameEnd = (frame * linesPerFrame + sap.fastplay - 1) / sap.fastplay;
        for (; calls < callsByFrameEnd; ++calls)
            machine.call(player, 0, 0, 0, calls + 1, uint64_t(sap.fastplay) * cyclesPerScanLine);
        machine.capture(playback.frameSequence);
    }
    playback.cycles = machine.cycles();
    return playback;
}
