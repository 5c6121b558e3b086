// Writes COUNT generated VGM songs into DIRECTORY, the same ones for the
// same SEED: every song shape, lengths from one frame to thousands, single
// and dual chip, every kind of wait, other chips' commands, silence at the
// ends and songs that loop. Used to compare builds and players song by song.
#include "songs.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> makeSongFile(std::mt19937& rng)
{
    using testing_support::SongShape;
    constexpr int32_t lengths[] = {1, 2, 3, 10, 60, 200, 700, 1500, 5000};
    constexpr SongShape shapes[] = {SongShape::Constant, SongShape::Music, SongShape::Music, SongShape::SmallAlphabet,
                                    SongShape::Noise};
    const int32_t frames = lengths[rng() % std::size(lengths)];
    std::vector<vgm::Frame> song = testing_support::makeSong(rng, frames, shapes[rng() % std::size(shapes)]);

    if (rng() % 3 == 0 && frames >= 60) {
        // Play a stretch again and again to the end: a loop for trimming to find.
        const size_t start = rng() % (song.size() / 2);
        const size_t period = 51 + rng() % 100;
        for (size_t i = start + period; i < song.size(); ++i) song[i] = song[i - period];
    }
    if (rng() % 3 == 0) song.insert(song.begin(), rng() % 40, vgm::Frame{});
    if (rng() % 3 == 0) song.insert(song.end(), rng() % 40, vgm::Frame{});

    constexpr vgm::Wait waits[] = {vgm::Wait::Pal, vgm::Wait::Ntsc, vgm::Wait::Samples, vgm::Wait::Short};
    vgm::WriterOptions options;
    options.chips = rng() % 8 == 0 ? 2 : 1;
    options.wait = waits[rng() % std::size(waits)];
    options.foreignCommands = rng() % 4 == 0;
    options.onlyChanges = rng() % 4 != 0;
    return vgm::writeVgm(song, options);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DIRECTORY COUNT SEED\n", argv[0]);
        return 1;
    }
    const std::string dir = argv[1];
    const int count = std::atoi(argv[2]);
    std::mt19937 rng(static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)));
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/song-%04d.vgm", i);
        if (!testing_support::saveFile(dir + name, makeSongFile(rng))) {
            std::perror((dir + name).c_str());
            return 1;
        }
    }
    return 0;
}
