#include "streams/trim_silence_and_loop.h"

#include "streams/loop_search.h"

#include <algorithm>

namespace {

void keepFrames(RegisterStreamSet& song, int32_t start, int32_t end)
{
    for (auto& stream : song.streams) {
        stream.erase(stream.begin() + end, stream.end());
        stream.erase(stream.begin(), stream.begin() + start);
    }
}

void trimmed(Notices& notices, std::string text) { notices.push_back({Notice::Kind::Trimming, std::move(text)}); }

// A song of two chips is cut only between pairs, so that each chip keeps its
// own frames: a pair is silent when both of its frames are.
bool silentStep(const RegisterStreamSet& song, int32_t firstFrame)
{
    for (int32_t chip = 0; chip < song.chips; ++chip) {
        if (!song.isSilent(firstFrame + chip)) return false;
    }
    return true;
}

std::optional<LoopPair> findLoop(const RegisterStreamSet& song)
{
    const std::vector<ComparisonEntry> entries = buildComparisonCopy(song);
    if (song.chips == 1) return findFirstLoop(entries);
    std::vector<PairEntry> pairs(entries.size() / 2);
    for (size_t i = 0; i < pairs.size(); ++i) {
        std::copy(entries[2 * i].begin(), entries[2 * i].end(), pairs[i].begin());
        std::copy(entries[2 * i + 1].begin(), entries[2 * i + 1].end(), pairs[i].begin() + registersPerFrame);
    }
    std::optional<LoopPair> loop = findFirstLoopOfPairs(pairs);
    if (loop) *loop = {2 * loop->loopStart, 2 * loop->repeatStart};
    return loop;
}

}  // namespace

std::optional<FoundLoop> trimSilenceAndLoop(RegisterStreamSet& song, Notices& notices)
{
    const int32_t frameCount = song.frameCount();
    if (frameCount == 0) return std::nullopt;

    int32_t end = frameCount;
    const int32_t step = song.chips;
    while (end > 0 && silentStep(song, end - step)) end -= step;
    if (end == 0) {
        trimmed(notices, "song is completely silent, skipping.");
        keepFrames(song, 0, 0);
        return std::nullopt;
    }
    if (end < frameCount) trimmed(notices, formatText("skipping %d frames from the end.", frameCount - end));

    // The end cut left a sounding last frame, so this walk stops before it.
    int32_t start = 0;
    while (silentStep(song, start)) start += step;
    if (start > 0) trimmed(notices, formatText("skipping %d frames from the start.", start));
    keepFrames(song, start, end);

    if (const std::optional<LoopPair> loop = findLoop(song)) {
        trimmed(notices, formatText("loop detected from frame %d to %d (of %d)\n", loop->repeatStart, loop->loopStart,
                                    song.frameCount()));
        const int32_t searched = song.frameCount();
        keepFrames(song, 0, loop->repeatStart);
        return FoundLoop{loop->loopStart, loop->repeatStart, searched - loop->repeatStart};
    }
    return std::nullopt;
}
