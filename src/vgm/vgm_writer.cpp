#include "vgm/vgm_writer.h"

#include "vgm/vgm_header.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace {

using namespace vgm;

void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

VgmWriter::VgmWriter(const VgmHeader& header) : bytes_(headerSize, 0)
{
    std::copy(std::begin(signature), std::end(signature), bytes_.begin());
    putLe32(bytes_, versionField, header.version);
    putLe32(bytes_, dataOffsetField, headerSize - dataOffsetField);  // the data follows the header
    putLe32(bytes_, pokeyClockField, header.pokeyClock | (header.dualChip ? dualChipFlag : 0u));
}

void VgmWriter::writeRegisters(int chip, const RegisterFrame& frame, bool all)
{
    all = all || !written_[chip];
    for (int r = 0; r < registersPerFrame; ++r) {
        if (all || frame[r] != last_[chip][r])
            bytes_.insert(bytes_.end(), {0xBB, static_cast<uint8_t>(chip << 7 | r), frame[r]});
    }
    last_[chip] = frame;
    written_[chip] = true;
}

void VgmWriter::wait(uint32_t samples)
{
    if (samples < 1 || samples > 0xFFFF) throw std::invalid_argument("a wait command lasts 1 to 65535 samples");
    if (samples == 735) putCommand({0x62}, samples);
    else if (samples == 882) putCommand({0x63}, samples);
    else if (samples <= 16) putCommand({static_cast<uint8_t>(0x70 + samples - 1)}, samples);
    else putCommand({0x61, static_cast<uint8_t>(samples), static_cast<uint8_t>(samples >> 8)}, samples);
}

void VgmWriter::putCommand(std::initializer_list<uint8_t> bytes, uint32_t samples)
{
    bytes_.insert(bytes_.end(), bytes);
    samples_ += samples;
}

void VgmWriter::markLoop()
{
    loopAt_ = bytes_.size();
    samplesAtLoop_ = samples_;
}

std::vector<uint8_t> VgmWriter::finish()
{
    if (samples_ > UINT32_MAX) throw std::length_error("more samples than a VGM header can count");
    bytes_.push_back(0x66);
    putLe32(bytes_, eofOffsetField, static_cast<uint32_t>(bytes_.size() - eofOffsetField));
    putLe32(bytes_, totalSamplesField, static_cast<uint32_t>(samples_));
    if (loopAt_ != 0) {
        putLe32(bytes_, loopOffsetField, static_cast<uint32_t>(loopAt_ - loopOffsetField));
        putLe32(bytes_, loopSamplesField, static_cast<uint32_t>(samples_ - samplesAtLoop_));
    }
    return std::move(bytes_);
}

uint64_t sampleAfterStep(int64_t steps, double frameRate)
{
    return static_cast<uint64_t>(std::llround(static_cast<double>(steps) * (sampleRate / frameRate)));
}

std::vector<uint8_t> songToVgm(const RegisterStreamSet& song, uint32_t pokeyClock, double frameRate, int chips,
                               int32_t loopStep)
{
    VgmWriter writer(VgmHeader{.pokeyClock = pokeyClock, .dualChip = chips == 2});
    uint64_t samplesSoFar = 0;
    const int32_t steps = song.frameCount() / chips;
    for (int32_t step = 0; step < steps; ++step) {
        if (step == loopStep) writer.markLoop();
        for (int chip = 0; chip < chips; ++chip) {
            RegisterFrame frame;
            for (int r = 0; r < registersPerFrame; ++r) frame[r] = song.streams[r][step * chips + chip];
            writer.writeRegisters(chip, frame);
        }
        // Each step ends at the sample nearest to its exact end, so that the
        // waits of a rate that does not divide 44,100 add up to no drift.
        const uint64_t end = sampleAfterStep(step + 1, frameRate);
        writer.wait(static_cast<uint32_t>(end - samplesSoFar));
        samplesSoFar = end;
    }
    return writer.finish();
}
