#pragma once

#include "common/timing.h"
#include "vgm/vgm_header.h"

#include <array>
#include <cstdint>
#include <vector>

// Writes VGM 1.71 files holding POKEY music from a list of register frames,
// with the choices of chips, wait commands and other chips' commands that
// the tests need, on the program's own VGM writer (vgm/vgm_writer.h).
// Used by the example-song generator and by the tests.
namespace vgm {

using Frame = std::array<uint8_t, 9>;  // AUDF1 AUDC1 ... AUDF4 AUDC4 AUDCTL

enum class Wait {
    Ntsc,       // 0x62: 735 samples
    Pal,        // 0x63: 882 samples
    Samples,    // 0x61 nn nn: 882 samples, spelled out
    Short,      // 0x70 to 0x7F: 1 to 16 samples, cycling
};

struct WriterOptions {
    int chips = 1;                 // 2: the frames alternate chip 1, chip 2
    Wait wait = Wait::Pal;
    bool foreignCommands = false;  // other chips' writes and a data block holding wait and end bytes
    bool onlyChanges = true;       // after the first frame, write only the registers that changed
    uint32_t version = vgm::minimumVersion;
    uint32_t pokeyClock = palClockHz;
};

// With two chips the frames alternate chip 1 and chip 2 and one wait follows
// each pair; an odd last frame is paired with a repeat of chip 2's last frame.
std::vector<uint8_t> writeVgm(const std::vector<Frame>& frames, const WriterOptions& options = {});

}  // namespace vgm
