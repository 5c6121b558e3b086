#include "songs.h"

#include "vgm/vgm_reader.h"
#include "stream_shapes.h"

#include <cstdio>

namespace testing_support {
namespace {

vgm::Frame normalised(vgm::Frame frame)
{
    for (int r : {AUDC1, AUDC2, AUDC3, AUDC4}) frame[r] = normaliseAudc(frame[r]);
    return frame;
}

stream_shapes::Shape streamShape(SongShape shape)
{
    switch (shape) {
    case SongShape::Constant: return stream_shapes::Shape::Constant;
    case SongShape::Music: return stream_shapes::Shape::SongLike;
    case SongShape::SmallAlphabet: return stream_shapes::Shape::RandomOf4;
    case SongShape::Noise: break;
    }
    return stream_shapes::Shape::RandomOf256;
}

}  // namespace

std::vector<vgm::Frame> makeSong(std::mt19937& rng, int32_t frames, SongShape shape)
{
    std::array<std::vector<uint8_t>, registersPerFrame> streams;
    for (auto& stream : streams) stream = stream_shapes::make(streamShape(shape), rng, frames);
    std::vector<vgm::Frame> song(static_cast<size_t>(frames));
    for (int32_t i = 0; i < frames; ++i) {
        for (int r = 0; r < registersPerFrame; ++r) song[i][r] = streams[r][i];
        song[i] = normalised(song[i]);
    }
    return song;
}

std::vector<vgm::Frame> sixFrameSong()
{
    const uint8_t audf1[] = {0x10, 0x20, 0x10, 0x20, 0x10, 0x30};
    const uint8_t audc1[] = {0xA4, 0xA4, 0xA4, 0xA6, 0xA6, 0xA8};
    std::vector<vgm::Frame> song;
    for (int i = 0; i < 6; ++i) song.push_back({audf1[i], audc1[i], 0, 0, 0, 0, 0, 0, 0x28});
    return song;
}

bool saveFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace testing_support
