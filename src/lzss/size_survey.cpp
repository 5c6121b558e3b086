#include "lzss/size_survey.h"

#include "lzss/compressed_file.h"
#include "lzss/optimal_parser.h"
#include "lzss/window_runs.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

// The steps of one channel's parse at one setting.
struct StepCounts {
    int32_t literals = 0;
    int32_t matches = 0;
};

struct ChannelParse {
    StepCounts steps;
    bool endsInMatch = false;
    // Channel 0 parsed again with a literal forced at its last frame; only
    // worked out when the first parse ends in a match, since otherwise the
    // end rule never asks for it.
    StepCounts withFinalLiteral;
};

// One piece of work: every setting of one offset width on one channel of
// one song, sharing one longest-match search.
struct Piece {
    int32_t song;
    int32_t channel;
    int32_t offsetBits;
};

// Per-thread tables, sized for the longest song.
struct Workspace {
    std::vector<int32_t> longest, distance, cost, length, stack;

    void size(int32_t n)
    {
        for (auto* table : {&longest, &distance, &cost, &length}) table->resize(n);
        stack.resize(static_cast<size_t>(n) + 1);
    }
};

// Walks the chosen steps from position 0 to the end of the range.
StepCounts countSteps(const int32_t* length, int32_t rangeEnd, int32_t minMatchLength, bool& endsInMatch)
{
    StepCounts counts;
    endsInMatch = false;
    for (int32_t i = 0; i < rangeEnd;) {
        endsInMatch = length[i] >= minMatchLength;
        if (endsInMatch) {
            ++counts.matches;
            i += length[i];
        } else {
            ++counts.literals;
            ++i;
        }
    }
    return counts;
}

StepCounts parseSteps(const LzssSettings& settings, int32_t rangeEnd, Workspace& work, bool& endsInMatch)
{
    std::copy_n(work.longest.begin(), rangeEnd, work.length.begin());
    chooseLengths(settings, rangeEnd, work.cost.data(), work.length.data(), work.stack.data());
    return countSteps(work.length.data(), rangeEnd, settings.minMatchLength, endsInMatch);
}

class Survey {
public:
    Survey(std::span<const RegisterStreamSet> songs, std::span<const LzssSettings> settings,
           const FormatChoices& format)
        : songs_(songs), settings_(settings), format_(format)
    {
        for (const RegisterStreamSet& song : songs) {
            skipped_.push_back(leftOutChannels(song));
            parses_.emplace_back(settings.size() * registersPerFrame);
            longestSong_ = std::max(longestSong_, song.frameCount());
        }
        // The widest window first: its search costs the most, and starting
        // it early keeps the threads busy until the end.
        std::vector<int32_t> offsets;
        for (const LzssSettings& s : settings) offsets.push_back(s.offsetBits);
        std::sort(offsets.begin(), offsets.end(), std::greater<>());
        offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
        for (int32_t offsetBits : offsets)
            for (int32_t song = 0; song < static_cast<int32_t>(songs.size()); ++song)
                for (int c = 0; c < registersPerFrame; ++c)
                    if (!skipped_[song][c]) pieces_.push_back({song, c, offsetBits});
    }

    int32_t pieceCount() const { return static_cast<int32_t>(pieces_.size()); }

    void run(int32_t index, Workspace& work)
    {
        const Piece& piece = pieces_[index];
        const std::vector<uint8_t>& stream = songs_[piece.song].streams[piece.channel];
        const int32_t n = static_cast<int32_t>(stream.size());
        work.size(longestSong_);

        // One search with the longest cap that any setting of this window
        // has; each setting cuts the lengths to its own longest match.
        LzssSettings widest{piece.offsetBits, 0, 1};
        for (const LzssSettings& s : settings_)
            if (s.offsetBits == piece.offsetBits && s.longestMatch() > widest.longestMatch()) widest = s;
        WindowRuns runs;
        runs.prepare(widest, stream);
        runs.findLongestMatches(n, work.longest.data(), work.distance.data());

        for (size_t k = 0; k < settings_.size(); ++k) {
            const LzssSettings& settings = settings_[k];
            if (settings.offsetBits != piece.offsetBits) continue;
            ChannelParse& parse = parses_[piece.song][k * registersPerFrame + piece.channel];
            parse.steps = parseSteps(settings, n, work, parse.endsInMatch);
            if (piece.channel == 0 && parse.endsInMatch && format_.forceEndLiteral && n > 1) {
                bool ignored;
                parse.withFinalLiteral = parseSteps(settings, n - 1, work, ignored);
                ++parse.withFinalLiteral.literals;
            }
        }
    }

    int64_t fileSize(int32_t song, size_t k) const
    {
        const LzssSettings& settings = settings_[k];
        const auto& skipped = skipped_[song];
        const ChannelParse* parses = &parses_[song][k * registersPerFrame];
        bool allEndInMatch = true;
        for (int c = 0; c < registersPerFrame; ++c)
            if (!skipped[c]) allEndInMatch = allEndInMatch && parses[c].endsInMatch;

        int64_t header = 1;
        int64_t literals = 0, matches = 0;
        for (int c = 0; c < registersPerFrame; ++c) {
            if (!format_.oldFormat || skipped[c]) ++header;
            if (skipped[c]) continue;
            const bool fixedUp = c == 0 && allEndInMatch && format_.forceEndLiteral;
            const StepCounts& steps = fixedUp ? parses[c].withFinalLiteral : parses[c].steps;
            literals += steps.literals;
            matches += steps.matches;
            // The new format keeps frame 0 in the header, not as a literal.
            if (!format_.oldFormat) --literals;
        }
        const int64_t controlBytes = (literals + matches + 7) / 8;
        return header + controlBytes + literals + matchCodeBytes(settings, matches);
    }

private:
    std::span<const RegisterStreamSet> songs_;
    std::span<const LzssSettings> settings_;
    FormatChoices format_;
    std::vector<std::array<bool, registersPerFrame>> skipped_;
    std::vector<std::vector<ChannelParse>> parses_;  // [song][setting * 9 + channel]
    std::vector<Piece> pieces_;
    int32_t longestSong_ = 0;
};

}  // namespace

int32_t compressedChannelCount(const RegisterStreamSet& song)
{
    const auto skipped = leftOutChannels(song);
    return static_cast<int32_t>(std::count(skipped.begin(), skipped.end(), false));
}

std::vector<std::vector<int64_t>> surveyFileSizes(std::span<const RegisterStreamSet> songs,
                                                  std::span<const LzssSettings> settings,
                                                  const FormatChoices& format, int threads,
                                                  const std::function<void(int32_t, int32_t)>& progress)
{
    for (const LzssSettings& s : settings)
        if (!isAccepted(s)) throw std::invalid_argument("LZSS settings out of range");
    for (const RegisterStreamSet& song : songs)
        if (song.frameCount() < 1) throw std::invalid_argument("a compressed file needs at least one frame");

    Survey survey(songs, settings, format);
    const int32_t total = survey.pieceCount();
    std::atomic<int32_t> next{0};
    std::atomic<int32_t> done{0};
    std::exception_ptr failure;
    std::mutex failureLock;

    // Each thread takes the next piece until none is left; the calling
    // thread is one of them and reports the progress between its pieces.
    const auto work = [&](bool reporting) {
        Workspace workspace;
        for (int32_t piece; (piece = next++) < total;) {
            try {
                survey.run(piece, workspace);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureLock);
                if (!failure) failure = std::current_exception();
                next = total;
            }
            ++done;
            if (reporting && progress) progress(done, total);
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < std::min(threads, total); ++t) helpers.emplace_back(work, false);
    work(true);
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);

    std::vector<std::vector<int64_t>> sizes(songs.size(), std::vector<int64_t>(settings.size()));
    for (size_t song = 0; song < songs.size(); ++song)
        for (size_t k = 0; k < settings.size(); ++k) sizes[song][k] = survey.fileSize(static_cast<int32_t>(song), k);
    return sizes;
}
