// Writes a few small VGM and SAP files of our own for the fuzzer to start
// from: single and dual chip, every kind of wait, other chips' commands,
// silence at the ends and a loop; SAP files of TYPE B, C and R.
#include "sap_songs.h"
#include "songs.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<vgm::Frame> tune(int frames, int silentEnds)
{
    std::vector<vgm::Frame> song;
    for (int i = 0; i < frames; ++i) {
        vgm::Frame frame{};
        if (i >= silentEnds && i < frames - silentEnds) {
            const int step = (i / 4) % 16;
            frame = {static_cast<uint8_t>(60 + step * 7), static_cast<uint8_t>(0xA0 | (12 - i % 4)),
                     static_cast<uint8_t>(120 - step), 0xA6, 0, 0, 0x10, static_cast<uint8_t>(step % 3 ? 0 : 0x88),
                     0x28};
        }
        song.push_back(frame);
    }
    return song;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 1;
    }
    const std::string dir = argv[1];
    bool ok = testing_support::saveFile(dir + "/loop.vgm", vgm::writeVgm(tune(260, 8)));
    ok &= testing_support::saveFile(dir + "/dual.vgm", vgm::writeVgm(tune(90, 2), {.chips = 2, .wait = vgm::Wait::Short, .foreignCommands = true}));
    ok &= testing_support::saveFile(dir + "/waits.vgm", vgm::writeVgm(tune(40, 0), {.wait = vgm::Wait::Samples, .onlyChanges = false}));
    ok &= testing_support::saveFile(dir + "/silent.vgm", vgm::writeVgm(std::vector<vgm::Frame>(30, vgm::Frame{}), {.wait = vgm::Wait::Ntsc}));
    ok &= testing_support::saveFile(dir + "/one.vgm", vgm::writeVgm({vgm::Frame{1, 0xA1, 2, 0, 3, 0, 4, 0, 5}}));
    ok &= testing_support::saveFile(dir + "/b.sap", sap_songs::countingTune('B', {"STEREO", "FASTPLAY 156", "TIME 00:01.0"}));
    ok &= testing_support::saveFile(dir + "/c.sap", sap_songs::countingTune('C', {"SONGS 2", "TIME 0:01", "TIME 0:02"}));
    const std::vector<uint8_t> registers = {10, 0xA8, 0, 0, 20, 0xC4, 0, 0, 0x28, 11, 0xA7, 0, 0, 20, 0xC4, 0, 0, 0x28};
    ok &= testing_support::saveFile(dir + "/r.sap", sap_songs::sapFile({"TYPE R", ""}, registers));
    if (!ok) std::perror(dir.c_str());
    return ok ? 0 : 1;
}
