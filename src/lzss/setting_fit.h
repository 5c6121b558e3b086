#pragma once

#include "lzss/decoder.h"
#include "lzss/file_format.h"
#include "lzss/lzss_settings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A setting and format that a compressed file may have been written with.
struct FileSetting {
    LzssSettings lzss;
    bool oldFormat = false;

    // The options that select it: "-o O -l L -m M", and " -x" for the old format.
    std::string options() const;
    bool operator==(const FileSetting&) const = default;
};

// Whether the file is what the writer makes under the setting: it decodes to
// its very end into at least one whole frame, and those frames, written again
// under the setting with either end rule, give back the same bytes. Decoding
// alone says little: a file often decodes cleanly under a neighbouring
// setting, to other frames. A looping file is written again with its loop.
bool fitsSetting(std::span<const uint8_t> file, const FileSetting& setting,
                 std::optional<int32_t> loopFrame = std::nullopt);

// The same for a file already decoded under the setting, to its end.
bool fitsDecoded(std::span<const uint8_t> file, const DecodedSong& decoded, const FileSetting& setting,
                 std::optional<int32_t> loopFrame = std::nullopt);

// Every accepted setting, in both formats, that the file fits, the likeliest
// first: the default, then the presets, then the others from the shortest
// minimum match and the widest codes. Some seconds for a long song: every
// setting is decoded, and those that decode to the end are parsed again.
std::vector<FileSetting> fittingSettings(std::span<const uint8_t> file);

// The likeliest setting other than given whose codes have the same packing
// (a file seldom decodes to its very end in another), that the file fits.
std::optional<FileSetting> settingOfSamePacking(std::span<const uint8_t> file, const FileSetting& given,
                                                std::optional<int32_t> loopFrame = std::nullopt);
