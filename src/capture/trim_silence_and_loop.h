#pragma once

#include "capture/register_streams.h"

#include <cstdint>
#include <string>

// Drops the silent frames at both ends of the song and cuts it where it
// starts repeating an earlier stretch up to its last frame. Moves entries to
// the front of the streams in place and returns the new frame count (0 for
// a completely silent song). Its messages go to standard error, prefixed
// with the invocation name.
int32_t trimSilenceAndLoop(RegisterStreamSet& streams, int32_t frameCount,
                           const std::string& invocationName);
