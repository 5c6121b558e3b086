#include "support/songs.h"

#include "capture/vgm_reader.h"

#include <algorithm>

namespace testing_support {
namespace {

uint8_t randomByte(std::mt19937& rng) { return static_cast<uint8_t>(rng()); }

vgm::Frame normalised(vgm::Frame frame)
{
    for (int r : {AUDC1, AUDC2, AUDC3, AUDC4}) frame[r] = normaliseAudc(frame[r]);
    return frame;
}

std::vector<vgm::Frame> musicLike(std::mt19937& rng, int32_t frames)
{
    // A few bars of notes, each bar repeated a random number of times.
    std::vector<vgm::Frame> song;
    const int stepFrames = 2 + static_cast<int>(rng() % 6);
    const uint8_t audctl = rng() % 4 == 0 ? 0x28 : 0x00;
    while (static_cast<int32_t>(song.size()) < frames) {
        std::vector<vgm::Frame> bar;
        for (int step = 0; step < 8; ++step) {
            std::array<uint8_t, 4> notes;
            for (uint8_t& note : notes) note = static_cast<uint8_t>(40 + rng() % 200);
            for (int f = 0; f < stepFrames; ++f) {
                vgm::Frame frame{};
                for (int channel = 0; channel < 4; ++channel) {
                    if ((step + channel) % 5 == 4) continue;  // a rest
                    frame[2 * channel] = notes[channel];
                    frame[2 * channel + 1] = static_cast<uint8_t>(0xA0 | std::max(1, 12 - f));
                }
                frame[AUDCTL] = audctl;
                bar.push_back(normalised(frame));
            }
        }
        for (int repeat = 1 + static_cast<int>(rng() % 3); repeat > 0; --repeat)
            song.insert(song.end(), bar.begin(), bar.end());
    }
    song.resize(frames);
    return song;
}

}  // namespace

std::vector<vgm::Frame> makeSong(std::mt19937& rng, int32_t frames, SongShape shape)
{
    if (shape == SongShape::Music) return musicLike(rng, frames);
    std::vector<vgm::Frame> song;
    vgm::Frame constant;
    for (uint8_t& value : constant) value = randomByte(rng);
    std::array<std::vector<uint8_t>, 9> alphabets;
    for (auto& alphabet : alphabets) {
        for (int i = 1 + static_cast<int>(rng() % 4); i > 0; --i) alphabet.push_back(randomByte(rng));
    }
    for (int32_t i = 0; i < frames; ++i) {
        vgm::Frame frame = constant;
        for (int r = 0; r < 9; ++r) {
            if (shape == SongShape::Noise) frame[r] = randomByte(rng);
            if (shape == SongShape::SmallAlphabet) frame[r] = alphabets[r][rng() % alphabets[r].size()];
        }
        song.push_back(normalised(frame));
    }
    return song;
}

RegisterStreamSet toStreams(const std::vector<vgm::Frame>& frames)
{
    RegisterStreamSet streams;
    for (const vgm::Frame& frame : frames) {
        for (int r = 0; r < 9; ++r) streams.streams[r].push_back(frame[r]);
    }
    streams.frameCount = static_cast<int32_t>(frames.size());
    return streams;
}

std::vector<vgm::Frame> sixFrameSong()
{
    const uint8_t audf1[] = {0x10, 0x20, 0x10, 0x20, 0x10, 0x30};
    const uint8_t audc1[] = {0xA4, 0xA4, 0xA4, 0xA6, 0xA6, 0xA8};
    std::vector<vgm::Frame> song;
    for (int i = 0; i < 6; ++i) song.push_back({audf1[i], audc1[i], 0, 0, 0, 0, 0, 0, 0x28});
    return song;
}

}  // namespace testing_support
