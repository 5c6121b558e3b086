#pragma once

#include "common/notice.h"
#include "streams/register_streams.h"

#include <optional>

// Drops the silent frames at both ends of the song and cuts it where it
// starts repeating an earlier stretch up to its last frame, shortening the
// streams in place. A completely silent song is left with no frames. Adds a
// notice for every cut. A song of two chips is cut in whole pairs of frames.
// Returns the loop found, in the frames of the trimmed song: it starts at
// loopStart and the song is cut at cut, where the repeat begins;
// framesAfterCut tells how much of the repeat the input held.
struct FoundLoop {
    int32_t loopStart = 0;
    int32_t cut = 0;
    int32_t framesAfterCut = 0;
};
std::optional<FoundLoop> trimSilenceAndLoop(RegisterStreamSet& song, Notices& notices);
