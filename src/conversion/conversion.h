#pragma once

#include "common/notice.h"
#include "streams/register_streams.h"
#include "lzss/compressed_file.h"
#include "lzss/file_format.h"
#include "lzss/lzss_settings.h"
#include "sap/sap_choices.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Everything one conversion needs besides the input's bytes.
struct ConversionRequest {
    LzssSettings settings;
    FormatChoices format;
    bool trim = false;      // cut silence at both ends and the song at its first loop
    std::string inputName;  // how error messages name the input
    SapChoices sap;         // the subsong, time and frames of a SAP file
    // A looping song: the file restarts at the loop's start after its end.
    // The loop is loopFrame (a frame of the song as converted) when given,
    // else the input's own loop when not trimming, else the one the trim's
    // search finds, which the input must show whole; the search runs (and
    // trims) whenever neither of the others gives the loop.
    bool loop = false;
    std::optional<int32_t> loopFrame;
};

// What one conversion made.
struct Conversion {
    RegisterStreamSet song;  // the frames that were compressed; none when trimming found only silence
    CompressedFile file;     // empty bytes when there was nothing to compress
    Notices notices;         // trimming, then the compression's own, in order
    bool decodesBack = false;  // the file decodes to exactly the song (and its loop, for a looping song)
    std::optional<int32_t> loopFrame;  // where a looping song starts again
};

// The SAP choices a request plays a SAP file with: long enough for the loop
// search when the loop comes from it.
SapChoices sapChoicesFor(const ConversionRequest& request);

// The whole conversion in memory: a VGM file (plain or gzip-compressed) or a
// SAP file in,
// the compressed file, its report figures and the notices out. Throws Ex
// with the user's message when the input is not a usable POKEY song.
Conversion convertSong(std::span<const uint8_t> input, const ConversionRequest& request);

// The same from the song's frames as captureSong gives them, with the
// notices of their capture: a caller can let go of the input first.
Conversion convertFrames(RegisterStreamSet song, Notices notices, const ConversionRequest& request);

// A song's register streams: a SAP file's as the choices ask (its notices
// added), or a VGM file's, inflated first when it is gzip-compressed.
RegisterStreamSet captureSong(std::span<const uint8_t> input, const std::string& inputName,
                              const SapChoices& sap, Notices& notices);
RegisterStreamSet captureSong(std::span<const uint8_t> input, const std::string& inputName);
