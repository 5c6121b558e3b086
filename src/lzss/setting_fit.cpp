#include "lzss/setting_fit.h"

#include "lzss/compressed_file.h"
#include "lzss/decoder.h"
#include "lzss/optimal_parser.h"

#include <algorithm>
#include <future>
#include <optional>
#include <thread>
#include <tuple>

namespace {

// How unlikely a setting is: the default first, then the presets, then the
// shortest minimum match, the widest code and the widest window.
auto rank(const FileSetting& setting)
{
    const LzssSettings& s = setting.lzss;
    const bool preset = std::any_of(std::begin(presets), std::end(presets), [&](const Preset& p) { return p.settings == s; });
    return std::tuple(setting.oldFormat, s != defaultSettings, !preset, s.minMatchLength, -s.codeBits(), -s.offsetBits);
}

std::vector<FileSetting> candidatesByRank()
{
    std::vector<FileSetting> candidates;
    for (const LzssSettings& lzss : acceptedSettings()) {
        for (const bool oldFormat : {false, true}) candidates.push_back({lzss, oldFormat});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const FileSetting& a, const FileSetting& b) { return rank(a) < rank(b); });
    return candidates;
}

}  // namespace

std::string FileSetting::options() const
{
    return "-o " + std::to_string(lzss.offsetBits) + " -l " + std::to_string(lzss.lengthBits) + " -m " +
           std::to_string(lzss.minMatchLength) + (oldFormat ? " -x" : "");
}

bool fitsSetting(std::span<const uint8_t> file, const FileSetting& setting, std::optional<int32_t> loopFrame)
{
    // One frame more than a song may have shows a file that would go on.
    // Measured first: most settings fail here, some after decoding to far
    // more frames than the song has.
    const FormatChoices format{.oldFormat = setting.oldFormat};
    const DecodedLength length = measureCompressedFile(file, setting.lzss, format, maximumFrames + 1);
    if (!length.error.empty() || length.unreadBytes != 0 || length.frames == 0 || length.frames > maximumFrames)
        return false;
    return fitsDecoded(file, decodeCompressedFile(file, setting.lzss, format), setting, loopFrame);
}

bool fitsDecoded(std::span<const uint8_t> file, const DecodedSong& decoded, const FileSetting& setting,
                 std::optional<int32_t> loopFrame)
{
    const int32_t frames = decoded.streams.frameCount();
    if (!decoded.error.empty() || decoded.unreadBytes != 0 || frames == 0 || frames > maximumFrames) return false;
    if (loopFrame && *loopFrame >= frames) return false;
    // The writer's parse is the least costly: a channel whose steps cost more
    // was parsed otherwise. A channel at a time, since a file decoded under
    // a wrong setting usually shows it in the first. Channel 0's end may be
    // parsed again to end in a literal; the whole file is compared below.
    // The new format's frame 0 lies in the header, as the parse's one
    // possible step there, a literal.
    const int64_t headerFrame = setting.oldFormat ? 0 : literalCost;
    for (int c = firstChannel; c >= 1; --c) {
        if (decoded.streams.isConstant(c) && (file[0] >> maskBit(c) & 1) != 0) continue;  // left out
        OptimalParser parser(setting.lzss);
        parser.build(decoded.streams.streams[c], loopFrame);
        parser.parse(false);
        if (parser.cost(0) != decoded.stepBits[c] + headerFrame) return false;
    }
    for (const bool forceEndLiteral : {true, false}) {
        Notices ignored;
        const FormatChoices format{.oldFormat = setting.oldFormat, .forceEndLiteral = forceEndLiteral};
        const std::vector<uint8_t> again =
            writeCompressedFile(decoded.streams, setting.lzss, format, ignored, loopFrame).bytes;
        if (std::equal(again.begin(), again.end(), file.begin(), file.end())) return true;
    }
    return false;
}

std::optional<FileSetting> settingOfSamePacking(std::span<const uint8_t> file, const FileSetting& given,
                                                std::optional<int32_t> loopFrame)
{
    for (const FileSetting& candidate : candidatesByRank()) {
        if (packingOf(candidate.lzss) == packingOf(given.lzss) && candidate != given &&
            fitsSetting(file, candidate, loopFrame))
            return candidate;
    }
    return std::nullopt;
}

std::vector<FileSetting> fittingSettings(std::span<const uint8_t> file)
{
    // Every candidate is tried: they share the cores, each taking every
    // n-th, so that the costly wide windows spread evenly.
    const std::vector<FileSetting> candidates = candidatesByRank();
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<char> fits(candidates.size(), 0);
    std::vector<std::future<void>> work;
    for (unsigned t = 0; t < threads; ++t) {
        work.push_back(std::async(std::launch::async, [&, t] {
            for (size_t i = t; i < candidates.size(); i += threads) fits[i] = fitsSetting(file, candidates[i]);
        }));
    }
    for (std::future<void>& done : work) done.get();
    std::vector<FileSetting> fitting;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (fits[i]) fitting.push_back(candidates[i]);
    }
    return fitting;
}
