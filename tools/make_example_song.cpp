// Writes the bundled example song: a short four-channel POKEY tune at 50
// frames a second with silence at both ends and a closing section that
// repeats to the end, so that trimming and loop detection have work to do.
#include "vgm_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int framesPerStep = 6;   // one sixteenth note
constexpr int stepsPerBar = 16;
constexpr int silentFramesBefore = 150;
constexpr int silentFramesAfter = 200;
constexpr int loopRepeats = 3;

// AUDF value of a MIDI note on a channel clocked at 64 kHz (AUDCTL 0).
uint8_t audfOf(int midiNote)
{
    const double hz = 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
    const double audf = 63921.0 / (2.0 * hz) - 1.0;
    return static_cast<uint8_t>(std::lround(audf < 0 ? 0 : audf > 255 ? 255 : audf));
}

// One voice: a note per sixteenth step (0 = rest, -1 = hold the last note),
// played with pure tones and a decaying volume.
struct Voice {
    std::vector<int> steps;
    int attack;
    int decayFrames;
    int floor;
};

void render(const Voice& voice, int channel, std::vector<vgm::Frame>& song, size_t from)
{
    int note = 0;
    int age = 0;
    for (size_t s = 0; s < voice.steps.size(); ++s) {
        if (voice.steps[s] > 0) { note = voice.steps[s]; age = 0; }
        if (voice.steps[s] == 0) note = 0;
        for (int f = 0; f < framesPerStep; ++f, ++age) {
            vgm::Frame& frame = song[from + s * framesPerStep + f];
            if (note == 0) continue;
            const int volume = std::max(voice.floor, voice.attack - age / voice.decayFrames);
            frame[2 * channel] = audfOf(note);
            frame[2 * channel + 1] = static_cast<uint8_t>(0xA0 | volume);
        }
    }
}

// A noise drum on channel 4: bass drum on the beat, snare on the off-beat.
void renderDrums(int bars, std::vector<vgm::Frame>& song, size_t from)
{
    for (int step = 0; step < bars * stepsPerBar; ++step) {
        const bool kick = step % 8 == 0;
        const bool snare = step % 8 == 4;
        if (!kick && !snare) continue;
        for (int f = 0; f < framesPerStep; ++f) {
            vgm::Frame& frame = song[from + step * framesPerStep + f];
            frame[6] = kick ? 0xC0 : 0x10;
            frame[7] = static_cast<uint8_t>((kick ? 0x20 : 0x80) | std::max(0, 12 - 2 * f));
        }
    }
}

std::vector<int> bassLine(const std::vector<int>& roots)
{
    std::vector<int> steps;
    for (int root : roots) {
        for (int s = 0; s < stepsPerBar; ++s) steps.push_back(s % 4 == 0 ? root : s % 4 == 2 ? root + 12 : -1);
    }
    return steps;
}

std::vector<int> arpeggio(const std::vector<int>& roots)
{
    std::vector<int> steps;
    for (int root : roots) {
        const int chord[] = {root + 24, root + 28, root + 31, root + 36};
        for (int s = 0; s < stepsPerBar; ++s) steps.push_back(chord[s % 4]);
    }
    return steps;
}

// Renders one section of the tune: melody, bass, arpeggio and drums.
void renderSection(const std::vector<int>& melody, const std::vector<int>& roots, bool drums,
                   std::vector<vgm::Frame>& song, size_t from)
{
    render({melody, 12, 3, 5}, 0, song, from);
    render({bassLine(roots), 10, 4, 6}, 1, song, from);
    render({arpeggio(roots), 5, 8, 3}, 2, song, from);
    if (drums) renderDrums(static_cast<int>(roots.size()), song, from);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.vgm\n", argv[0]);
        return 1;
    }

    // Intro: four bars of melody over the chords, without drums.
    const std::vector<int> introRoots = {48, 53, 55, 48};
    const std::vector<int> introMelody = {
        72, -1, -1, -1, 74, -1, 76, -1, 79, -1, -1, -1, 76, -1, 74, -1,
        77, -1, -1, -1, 76, -1, 74, -1, 72, -1, 74, -1, 76, -1, -1, -1,
        74, -1, -1, -1, 71, -1, 72, -1, 74, -1, 79, -1, 77, -1, 76, -1,
        72, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0,
    };
    // The closing section, played three times to the end of the song.
    const std::vector<int> loopRoots = {45, 50, 52, 45};
    const std::vector<int> loopMelody = {
        76, -1, 79, -1, 81, -1, -1, -1, 79, -1, 76, -1, 74, -1, 72, -1,
        74, -1, -1, -1, 77, -1, 81, -1, 79, -1, 77, -1, 76, -1, 74, -1,
        76, -1, 71, -1, 68, -1, 71, -1, 76, -1, 80, -1, 83, -1, -1, -1,
        81, -1, -1, -1, 76, -1, -1, -1, 69, -1, -1, -1, 0, 0, 0, 0,
    };

    const size_t sectionFrames = 4 * stepsPerBar * framesPerStep;
    const size_t total = silentFramesBefore + sectionFrames * (1 + loopRepeats) + silentFramesAfter;
    std::vector<vgm::Frame> song(total, vgm::Frame{});

    size_t at = silentFramesBefore;
    renderSection(introMelody, introRoots, false, song, at);
    at += sectionFrames;
    for (int i = 0; i < loopRepeats; ++i, at += sectionFrames) renderSection(loopMelody, loopRoots, true, song, at);

    const std::vector<uint8_t> bytes = vgm::writeVgm(song);
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
