#include "atari/sap_writer.h"

#include "sap/sap_file.h"

#include <cstdio>

SapTime sapTime(int64_t calls, int lines, bool ntsc)
{
    // In half hertz, exact: a call lasts lines x 114 x 2 / clock seconds.
    const int64_t clock = ntsc ? ntscClockHalfHz : palClockHalfHz, callHalfCycles = int64_t{lines} * cyclesPerScanLine * 2;
    // A player that plays the time makes the calls that start in it: no more
    // than the song's end, and later than the last call's start.
    const int64_t latest = calls * callHalfCycles * 1000 / clock;
    // A reader that rounds the time to whole calls: from half a call before the end.
    const int64_t earliest = ((2 * calls - 1) * callHalfCycles * 1000 + 2 * clock - 1) / (2 * clock);
    const bool exact = earliest <= latest;
    const int64_t ms = exact ? latest : (calls * callHalfCycles * 1000 + clock / 2) / clock;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    return {text, exact};
}

std::string sapHeaderText(const SapHeader& header)
{
    std::string text(sapSignature);
    const auto line = [&](const std::string& content) { text += content + "\r\n"; };
    const auto hex = [](uint16_t address) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%04X", address);
        return std::string(digits);
    };
    if (!header.author.empty()) line("AUTHOR \"" + header.author + "\"");
    if (!header.name.empty()) line("NAME \"" + header.name + "\"");
    line(std::string("TYPE ") + header.type);
    if (header.type == 'B') {
        line("INIT " + hex(header.init));
        line("PLAYER " + hex(header.player));
    }
    line("TIME " + sapTime(header.calls, header.lines(), header.ntsc).text + (header.loop ? " LOOP" : ""));
    if (header.stereo) line("STEREO");
    if (header.fastplay != 0) line("FASTPLAY " + std::to_string(header.fastplay));
    if (header.ntsc) line("NTSC");
    // Type R's frames follow an empty line; type B's binary part begins with
    // $FF $FF, which ends the header by itself.
    if (header.type == 'R') line("");
    return text;
}

std::vector<uint8_t> sapRegisterFrames(const RegisterStreamSet& song)
{
    std::vector<uint8_t> data;
    data.reserve(static_cast<size_t>(song.frameCount()) * registersPerFrame);
    for (int32_t frame = 0; frame < song.frameCount(); ++frame) {
        for (const std::vector<uint8_t>& stream : song.streams) data.push_back(stream[frame]);
    }
    return data;
}
