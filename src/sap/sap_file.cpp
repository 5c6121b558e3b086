#include "sap/sap_file.h"

#include "common/ex.h"
#include "common/notice.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace {

// The I/O chips answer here, so no program can load into it.
constexpr unsigned ioFirst = 0xD000, ioLast = 0xD7FF;
constexpr int mostSubsongs = 256;
constexpr int mostScanLinesBetweenCalls = 32767;

bool startsWithMarker(std::span<const uint8_t> file, size_t at)
{
    return at + 1 < file.size() && file[at] == 0xFF && file[at + 1] == 0xFF;
}

// A whole argument as a number in the given base, or nothing.
std::optional<long> number(std::string_view text, int base)
{
    long value = 0;
    if (text.starts_with('-')) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "m:ss", "mm:ss.x", "mm:ss.xxx" and so on, in seconds; a LOOP after it is
// left to the caller.
std::optional<double> duration(std::string_view text)
{
    text = text.substr(0, text.find(' '));
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view secondsText = text.substr(colon + 1);
    const size_t point = secondsText.find('.');
    const auto minutes = number(text.substr(0, colon), 10);
    const auto seconds = number(secondsText.substr(0, point), 10);
    if (!minutes || !seconds || *seconds >= 60) return std::nullopt;
    double fraction = 0;
    if (point != std::string_view::npos) {
        const std::string_view digits = secondsText.substr(point + 1);
        const auto value = number(digits, 10);
        if (!value || digits.size() > 6) return std::nullopt;
        fraction = static_cast<double>(*value) / std::pow(10.0, static_cast<double>(digits.size()));
    }
    // In floating point: a long run of minute digits must not overflow.
    return static_cast<double>(*minutes) * 60 + static_cast<double>(*seconds) + fraction;
}

class HeaderReader {
public:
    explicit HeaderReader(const std::string& name) : name_(name) {}

    void take(std::string_view tag, std::string_view argument, SapFile& sap)
    {
        if (tag == "TYPE") {
            if (argument == "B" || argument == "C" || argument == "R") {
                sap.type = argument == "B" ? SapType::B : argument == "C" ? SapType::C : SapType::R;
                typeGiven_ = true;
            } else if (argument == "D" || argument == "S") {
                throwSapFault(name_, "is of TYPE " + std::string(argument) + ", which is not supported (only B, C and R are)");
            } else {
                throwSapFault(name_, "has an unknown TYPE '" + std::string(argument) + "'");
            }
        } else if (tag == "STEREO") {
            sap.stereo = true;
        } else if (tag == "NTSC") {
            sap.ntsc = true;
        } else if (tag == "FASTPLAY") {
            sap.fastplay = static_cast<int>(bounded(tag, argument, 10, 1, mostScanLinesBetweenCalls));
        } else if (tag == "INIT" || tag == "MUSIC" || tag == "PLAYER") {
            auto& address = tag == "INIT" ? sap.init : tag == "MUSIC" ? sap.music : sap.player;
            address = static_cast<uint16_t>(bounded(tag, argument, 16, 0, 0xFFFF));
        } else if (tag == "SONGS") {
            sap.songs = static_cast<int>(bounded(tag, argument, 10, 1, mostSubsongs));
        } else if (tag == "DEFSONG") {
            sap.defaultSong = static_cast<int>(bounded(tag, argument, 10, 0, mostSubsongs - 1));
        } else if (tag == "NAME" || tag == "AUTHOR") {
            // Quoted text; the quotes are left out.
            std::string_view text = argument;
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
            (tag == "NAME" ? sap.name : sap.author) = std::string(text);
        } else if (tag == "TIME") {
            const auto seconds = duration(argument);
            if (!seconds) badValue(tag, argument);
            sap.seconds.push_back(seconds);
        }
    }

    void check(SapFile& sap) const
    {
        if (!typeGiven_) throwSapFault(name_, "has no TYPE");
        if (sap.defaultSong >= sap.songs)
            throwSapFault(name_, formatText("has DEFSONG %d but only %d subsong%s", sap.defaultSong, sap.songs,
                                    sap.songs == 1 ? "" : "s"));
        sap.seconds.resize(static_cast<size_t>(sap.songs));
        if (sap.fastplay == 0) sap.fastplay = scanLinesPerTvFrame(sap);
        if (sap.type == SapType::B && !sap.init) throwSapFault(name_, "has no INIT address, which TYPE B needs");
        if (sap.type == SapType::C && !sap.music) throwSapFault(name_, "has no MUSIC address, which TYPE C needs");
        if (sap.type != SapType::R && !sap.player)
            throwSapFault(name_, std::string("has no PLAYER address, which TYPE ") + (sap.type == SapType::B ? "B" : "C") + " needs");
    }

private:
    [[noreturn]] void badValue(std::string_view tag, std::string_view argument) const
    {
        throwSapFault(name_, "has a bad value in its header: '" + std::string(tag) + " " + std::string(argument) + "'");
    }

    long bounded(std::string_view tag, std::string_view argument, int base, long least, long most) const
    {
        const auto value = number(argument, base);
        if (!value || *value < least || *value > most) badValue(tag, argument);
        return *value;
    }

    const std::string& name_;
    bool typeGiven_ = false;
};

// Reads the segments that follow the first $FF $FF.
std::vector<SapSegment> readSegments(std::span<const uint8_t> file, size_t at, const std::string& name)
{
    if (!startsWithMarker(file, at)) throwSapFault(name, "has no $FF $FF before its program");
    std::vector<SapSegment> segments;
    while (at < file.size()) {
        if (startsWithMarker(file, at)) at += 2;
        if (at + 4 > file.size()) throwSapFault(name, "is truncated in a segment's addresses");
        const unsigned start = file[at] | file[at + 1] << 8, end = file[at + 2] | file[at + 3] << 8;
        const std::string range = formatText("$%04X-$%04X", start, end);
        if (end < start) throwSapFault(name, "has a segment that ends before it starts (" + range + ")");
        if (start <= ioLast && end >= ioFirst)
            throwSapFault(name, "has a segment over the I/O area $D000-$D7FF (" + range + ")");
        at += 4;
        const size_t size = end - start + 1;
        if (size > file.size() - at) throwSapFault(name, "is truncated in the segment " + range);
        segments.push_back({static_cast<uint16_t>(start), file.subspan(at, size)});
        at += size;
    }
    if (segments.empty()) throwSapFault(name, "has no program after its header");
    return segments;
}

}  // namespace

void throwSapFault(const std::string& name, const std::string& fault)
{
    throw Ex() << "File '" << name << "' " << fault << "\n";
}

bool isSap(std::span<const uint8_t> file)
{
    return file.size() >= sapSignature.size() && std::equal(sapSignature.begin(), sapSignature.end(), file.begin());
}

SapFile readSapFile(std::span<const uint8_t> file, const std::string& name)
{
    SapFile sap;
    HeaderReader header(name);
    // The header ends at an empty line or where the binary part's $FF $FF begins.
    size_t at = 0;
    bool emptyLine = false;
    while (!startsWithMarker(file, at)) {
        size_t end = at;
        while (end < file.size() && file[end] != '\n') ++end;
        if (end == file.size()) throwSapFault(name, "is truncated in its header");
        std::string_view line(reinterpret_cast<const char*>(file.data()) + at, end - at);
        at = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty()) {
            emptyLine = true;
            break;
        }
        const size_t space = line.find(' ');
        const std::string_view tag = line.substr(0, space);
        const std::string_view argument = space == std::string_view::npos ? "" : line.substr(space + 1);
        header.take(tag, argument.substr(0, argument.find_last_not_of(' ') + 1), sap);
    }
    header.check(sap);
    if (sap.type != SapType::R) {
        sap.segments = readSegments(file, at, name);
    } else {
        if (!emptyLine) at += 2;  // the $FF $FF in place of the empty line
        sap.registerBytes = file.subspan(at);
    }
    return sap;
}
