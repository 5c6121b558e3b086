#pragma once

#include "common/timing.h"
#include "streams/register_streams.h"
#include "vgm/vgm_header.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

// What a VGM file's header says about the music that follows.
struct VgmHeader {
    uint32_t pokeyClock = palClockHz;
    bool dualChip = false;
    uint32_t version = vgm::minimumVersion;
};

// Builds a VGM file of POKEY music command by command, in memory. The
// header's file length and total sample count are filled in at the end.
class VgmWriter {
public:
    explicit VgmWriter(const VgmHeader& header);

    // Writes registers 0 to 8 of chip 0 or 1: all nine the first time or
    // when asked, else only those that differ from the chip's last frame.
    void writeRegisters(int chip, const RegisterFrame& frame, bool all = false);
    // A wait of 1 to 65,535 samples in its shortest spelling. Every wait
    // command ends one frame for a reader, so a frame takes exactly one.
    void wait(uint32_t samples);
    // Any other command, spelled by the caller, that waits the given samples.
    void putCommand(std::initializer_list<uint8_t> bytes, uint32_t samples = 0);
    // The song loops from here to its end: the header's loop offset and
    // loop sample count say so.
    void markLoop();
    // Ends the data and returns the whole file.
    std::vector<uint8_t> finish();

private:
    std::vector<uint8_t> bytes_;
    uint64_t samples_ = 0;
    RegisterFrame last_[2]{};
    bool written_[2]{};
    uint64_t loopAt_ = 0;  // 0: no loop
    uint64_t samplesAtLoop_ = 0;
};

// The sample at which songToVgm's step (a frame, or a pair with two chips)
// of that number ends; the total is the song's steps. The header counts the
// samples in 32 bits, and finish() throws std::length_error beyond them.
uint64_t sampleAfterStep(int64_t steps, double frameRate);

// A song as a VGM file for a player: frame 0 writes all nine registers,
// every later frame those that changed, and one wait follows each frame,
// which lasts 1/frameRate seconds (frameRate from 1 to 44,100) at 44,100
// samples a second. The waits are whole samples, rounded so that the song
// keeps its tempo from start to end. With two chips the song's frames are
// taken in pairs, chip 1's then chip 2's, as a dual-chip VGM file gives them,
// and one wait follows each pair; a last frame without its pair is dropped.
// With a loop step the song loops from that step to its end.
std::vector<uint8_t> songToVgm(const RegisterStreamSet& song, uint32_t pokeyClock, double frameRate, int chips = 1,
                               int32_t loopStep = -1);
