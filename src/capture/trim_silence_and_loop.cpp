#include "capture/trim_silence_and_loop.h"

#include "capture/loop_search.h"

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

}  // namespace

void trimSilenceAndLoop(RegisterStreamSet& song, Notices& notices)
{
    const int32_t frameCount = song.frameCount();
    if (frameCount == 0) return;

    int32_t end = frameCount;
    while (end > 0 && song.isSilent(end - 1)) --end;
    if (end == 0) {
        trimmed(notices, "song is completely silent, skipping.");
        keepFrames(song, 0, 0);
        return;
    }
    if (end < frameCount) trimmed(notices, formatText("skipping %d frames from the end.", frameCount - end));

    // The end cut left a sounding last frame, so this walk stops before it.
    int32_t start = 0;
    while (song.isSilent(start)) ++start;
    if (start > 0) trimmed(notices, formatText("skipping %d frames from the start.", start));
    keepFrames(song, start, end);

    if (const std::optional<LoopPair> loop = findFirstLoop(buildComparisonCopy(song))) {
        trimmed(notices, formatText("loop detected from frame %d to %d (of %d)\n", loop->repeatStart, loop->loopStart,
                                    song.frameCount()));
        keepFrames(song, 0, loop->repeatStart);
    }
}
