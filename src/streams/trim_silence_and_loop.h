#pragma once

#include "common/notice.h"
#include "streams/register_streams.h"

// Drops the silent frames at both ends of the song and cuts it where it
// starts repeating an earlier stretch up to its last frame, shortening the
// streams in place. A completely silent song is left with no frames. Adds a
// notice for every cut. A song of two chips is cut in whole pairs of frames.
void trimSilenceAndLoop(RegisterStreamSet& song, Notices& notices);
