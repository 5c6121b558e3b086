#pragma once

#include "lzss/compressed_file.h"

#include <gtest/gtest.h>

#include <vector>

namespace testing_support {

// The compressed file of a song, with the program's notices kept off the test output.
inline std::vector<uint8_t> compressQuietly(const RegisterStreamSet& streams, const LzssSettings& settings,
                                            bool oldFormat, bool forceEndLiteral = true)
{
    MatchHistograms histograms = makeHistograms(settings);
    BitStreamWriter writer(settings);
    testing::internal::CaptureStderr();
    writeCompressedFile(streams, streams.frameCount, writer, settings, histograms, 0, forceEndLiteral, oldFormat);
    testing::internal::GetCapturedStderr();
    return writer.flushedBytes();
}

}  // namespace testing_support
