// lz16 pack's outputs: the player linked with the song table and the songs
// into an Atari binary load file, and the text files around it.
#include "lz16/pack_files.h"

#include "atari/atari_binary.h"
#include "atari/player_defines.h"
#include "cli/messages.h"
#include "lz16/player_build.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

// The entry points and variables of the player's game interface.
constexpr const char* calls[] = {"lz_init", "lz_song", "lz_frame", "lz_play", "lz_stop"};
constexpr const char* variables[] = {"lz_mute", "lz_request", "lz_ntsc"};

std::string hex(uint32_t value) { return formatText(value < 0x100 ? "$%02X" : "$%04X", value); }

// The player's assembly-time symbols for the set, NAME=VALUE each.
std::vector<std::string> defines(const PackedSet& set, const PackRequest& request, bool forBinary)
{
    const LzssSettings& lzss = set.settings.lzss;
    PlayerBuild build{lzss.offsetBits, lzss.lengthBits, lzss.minMatchLength, set.settings.format.oldFormat, set.stereo};
    build.loop = set.loops();
    std::vector<std::string> list = playerDefines(build);
    list.push_back("LZ_GAME=1");
    if (forBinary || request.zeroPageGiven) list.push_back("LZ_ZP=" + hex(request.zeroPage));
    return list;
}

std::string equates(const std::vector<std::string>& list)
{
    std::string text;
    for (const std::string& define : list) {
        const size_t equals = define.find('=');
        text += define.substr(0, equals) + " = " + define.substr(equals + 1) + "\n";
    }
    return text;
}

std::string bytesText(std::span<const uint8_t> bytes)
{
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += 16) {
        text += "        .byte   ";
        for (size_t i = at; i < std::min(at + 16, bytes.size()); ++i) text += formatText(i == at ? "$%02X" : ",$%02X", bytes[i]);
        text += "\n";
    }
    return text;
}

std::string baseName(const PackedSet& set) { return fs::path(set.name).filename().string(); }

// The song table, the songs (.incbin of NAME-K.lz16), their loop records
// and the rings, as ca65 source.
std::string tableSource(const PackedSet& set, const PackRequest& request)
{
    std::string text = "        .export lz_songs\n        .segment \"RODATA\"\n";
    text += "; The song table: the count, then for each song its start, end, rings and loop\n"
            "; record (or 0), the lz_frame calls an lz_play makes and its flags (bit 0: 50 Hz).\n";
    text += formatText("lz_songs:\n        .byte   %zu\n", set.songs.size());
    for (size_t k = 0; k < set.songs.size(); ++k) {
        const PackedSong& song = set.songs[k];
        text += formatText("        .word   lz16_data_%zu, lz16_data_%zu_end, lz_rings, %s\n", k, k,
                           song.loopFrame ? formatText("lz16_loop_%zu", k).c_str() : "0");
        text += formatText("        .byte   %d, %d\n", song.calls, int{song.fiftyHz});
    }
    for (size_t k = 0; k < set.songs.size(); ++k) {
        text += formatText("lz16_data_%zu:\n        .incbin \"%s-%zu.lz16\"\nlz16_data_%zu_end:\n", k,
                           baseName(set).c_str(), k, k);
        if (set.songs[k].loopFrame)
            text += formatText("lz16_loop_%zu:                       ; frames %d to %d play again and again\n", k,
                               *set.songs[k].loopFrame, set.songs[k].frames - 1) +
                    bytesText(set.songs[k].loopRecord);
    }
    if (request.rings) {
        text += formatText("lz_rings = %s                    ; %u bytes, as --rings asked\n", hex(*request.rings).c_str(),
                           set.ringBytes());
    } else {
        // The stock linker configurations do not align BSS to a page, so the
        // rings take the first page boundary in a space a page larger.
        text += formatText("        .segment \"BSS\"\nlz16_ring_space:\n        .res    %u + 255\n", set.ringBytes());
        text += "lz_rings = (lz16_ring_space + 255) & $FF00\n";
    }
    text += "        .assert (lz_rings & $FF) = 0, lderror, \"the rings are not page-aligned\"\n";
    return text;
}

std::string equFile(const PackedSet& set)
{
    const PackLayout& m = set.layout;
    std::string text = "; " + baseName(set) + ".equ: the addresses of " + baseName(set) + ".obx, made by lz16 pack\n";
    text += formatText("; with -o %d -l %d -m %d%s%s, %zu songs. It loads at %s to %s and has no run address.\n",
                       set.settings.lzss.offsetBits, set.settings.lzss.lengthBits, set.settings.lzss.minMatchLength,
                       set.settings.format.oldFormat ? " -x" : "", set.stereo ? " for two chips" : "",
                       set.songs.size(), hex(m.org).c_str(), hex(m.dataEnd - 1).c_str());
    const auto line = [&](const std::string& name, uint32_t value) { text += name + " = " + hex(value) + "\n"; };
    text += "; Calls: lz_song (A = song from 0; carry set if there is none), lz_frame,\n"
            "; lz_play (from a VBI), lz_stop; lz_init (A/X = an entry of the table).\n";
    for (const char* name : calls) line(name, set.symbols.at(name));
    text += "; Variables: lz_mute and lz_request in the zero page, which no file loads:\n"
            "; clear them before the first call. lz_ntsc.\n";
    for (const char* name : variables) line(name, set.symbols.at(name));
    text += "; The song table: the count, then 10 bytes a song.\n";
    line("lz_songs", m.table);
    line("lz_song_count", static_cast<uint32_t>(set.songs.size()));
    text += "; The rings (page-aligned, not in the file), the zero page, the file's bytes.\n";
    line("lz_rings", m.rings);
    line("lz_rings_end", m.rings + m.ringBytes);
    line("lz_zp", m.zeroPage);
    line("lz_zp_end", m.zeroPage + m.zeroPageBytes);
    line("lz_org", m.org);
    line("lz_end", m.dataEnd);
    return text;
}

std::string headerFile(const PackedSet& set)
{
    std::string guard = "LZ16_" + baseName(set) + "_H";
    for (char& c : guard) c = std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::toupper(c)) : '_';
    std::string text = "/* " + baseName(set) + ".h: the lz16 player and its songs for cc65, made by lz16 pack.\n"
                       "   Link " + baseName(set) + ".s with the program: cl65 -t atari game.c " + baseName(set) +
                       ".s */\n";
    text += "#ifndef " + guard + "\n#define " + guard + "\n\n";
    text += formatText("#define LZ16_SONGS %zu\n\n", set.songs.size());
    text += "/* Starts song n (from 0), its first frame written: 0, or 1 when there is no such song. */\n"
            "unsigned char lz16_song(unsigned char n);\n"
            "/* Plays the next frame: 0 while a song plays, 1 at its end or when none plays. */\n"
            "unsigned char lz16_frame(void);\n"
            "/* For the vertical blank: the frames of a TV frame, with the NTSC tempo fix. */\n"
            "void lz16_play(void);\n"
            "/* Silences the music's channels; then nothing plays until a song is started. */\n"
            "void lz16_stop(void);\n\n"
            "/* Bits 0-3 leave channels 1-4 to the program (bits 4-7: the second chip's). */\n"
            "extern volatile unsigned char lz16_mute;\n#pragma zpsym (\"lz16_mute\")\n"
            "/* A song number + 1: the next frame starts that song; 0 when none is asked for. */\n"
            "extern volatile unsigned char lz16_request;\n#pragma zpsym (\"lz16_request\")\n"
            "/* Not 0: a 50 Hz song keeps its tempo at 60 Hz (an lz16_play in six plays none). */\n"
            "extern volatile unsigned char lz16_ntsc;\n\n#endif\n";
    return text;
}

std::string cSource(const PackedSet& set, const PackRequest& request, const std::string& playerText)
{
    std::string text = "; " + baseName(set) + ".s: the lz16 player, its song table and its songs, for cc65 programs\n"
                       "; (made by lz16 pack). Link it with a program, in this folder, beside the\n"
                       "; " + baseName(set) + "-K.lz16 files it includes:\n"
                       ";     cl65 -t atari game.c " + baseName(set) + ".s\n"
                       "; The player is in a scope of its own; it exports lz_* for assembly programs.\n"
                       ".scope lz16\n";
    text += equates(defines(set, request, false)) + playerText;
    text += "\n; The C interface: the argument in A, the result in A with X 0.\n"
            "        .export _lz16_song, _lz16_frame, _lz16_play, _lz16_stop\n"
            "        .export _lz16_mute, _lz16_request, _lz16_ntsc\n"
            "        .segment \"CODE\"\n"
            "_lz16_song:\n        jsr     lz_song\n        lda     #0\n        tax\n        rol     a\n        rts\n"
            "_lz16_frame:\n        jsr     lz_frame\n        lda     #0\n        tax\n        rol     a\n        rts\n"
            "_lz16_play = lz_play\n_lz16_stop = lz_stop\n"
            "_lz16_mute = lz_mute\n_lz16_request = lz_request\n_lz16_ntsc = lz_ntsc\n";
    // No file loads the zero page: the variables are set as the program
    // starts, once BSS is cleared.
    text += "; The variables as the program starts: every channel to the music, no request"
            + std::string(request.ntscTempo ? ", lz_ntsc set (--ntsc-tempo)" : "") + ".\n"
            "        .constructor lz16_start\n"
            "lz16_start:\n        lda     #0\n        sta     lz_mute\n        sta     lz_request\n";
    if (request.ntscTempo) text += "        lda     #1\n        sta     lz_ntsc\n";
    text += "        rts\n";
    text += ".endscope\n\n";
    return text + tableSource(set, request);
}

std::string includeFile(const PackedSet& set, const PackRequest& request)
{
    std::string text = "; " + baseName(set) + ".inc: the settings of the lz16 player for these songs, and\n"
                       "; unless LZ_SETTINGS_ONLY is defined, the song table, the songs (" + baseName(set) +
                       "-K.lz16)\n; and the rings (made by lz16 pack). Assemble the player with the settings:\n"
                       ";     LZ_SETTINGS_ONLY = 1\n;     .include \"" + baseName(set) +
                       ".inc\"\n;     .include \"lz16_player.s\"\n; and include it without LZ_SETTINGS_ONLY in the "
                       "program, which may then call the player.\n";
    text += equates(defines(set, request, false));
    text += ".ifndef LZ_SETTINGS_ONLY\n"
            "        .import lz_init, lz_song, lz_frame, lz_play, lz_stop, lz_ntsc\n"
            "        .importzp lz_mute, lz_request\n";
    return text + tableSource(set, request) + ".endif\n";
}

}  // namespace

uint32_t PackedSet::ringBytes() const
{
    uint32_t most = 0;
    for (const PackedSong& song : songs) most = std::max(most, ::ringBytes(song.file, settings.lzss));
    return most;
}

bool PackedSet::loops() const
{
    return std::any_of(songs.begin(), songs.end(), [](const PackedSong& song) { return song.loopFrame.has_value(); });
}

std::vector<uint8_t> buildPackedSet(PackedSet& set, const PackRequest& request, const std::string& playerText)
{
    // Built once with its zero page at 0 to learn its size, which the zero
    // page and the songs' place depend on.
    const auto assembled = [&](uint32_t zeroPage) {
        auto assembler = std::make_unique<PlayerAssembler>();
        PackRequest at = request;
        at.zeroPage = zeroPage;
        assembler->addSource("pack_player.s", playerText);
        assembler->assemble("pack_player.s", defines(set, at, true));
        return assembler;
    };
    PackLayout& m = set.layout;
    m.org = request.org;
    const std::map<std::string, uint32_t> measured =
        assembled(0)->link(static_cast<uint16_t>(m.org), {{"lz_songs", 0}}).second;
    m.codeEnd = measured.at("__MAIN_LAST__");
    m.zeroPage = request.zeroPage;
    m.zeroPageBytes = measured.at("lz_zp_size");
    if (m.zeroPage + m.zeroPageBytes > 0x100)
        fail(formatText("the zero page from --zp %s has %u bytes, and the player needs %u\n", hex(m.zeroPage).c_str(),
                        0x100 - m.zeroPage, m.zeroPageBytes));
    m.table = m.codeEnd;
    m.tableBytes = 1 + 10 * static_cast<uint32_t>(set.songs.size());
    uint32_t at = m.table + m.tableBytes;
    for (PackedSong& song : set.songs) {
        if (song.loopFrame) song.loopRecordAt = at, at += loopRecordSize;
        song.start = at;
        at += static_cast<uint32_t>(song.file.size());
        song.end = at;
    }
    m.dataEnd = at;
    m.ringBytes = set.ringBytes();
    m.rings = request.rings.value_or((m.dataEnd + 0xFF) & ~0xFFu);
    const uint32_t ringsEnd = m.rings + m.ringBytes;
    if (m.dataEnd > request.ramEnd || (!request.rings && ringsEnd > request.ramEnd))
        fail(formatText("the songs do not fit below %s at %s: the player takes %u bytes, the table and the songs "
                        "%u%s, %u bytes too many\n",
                        hex(request.ramEnd).c_str(), hex(m.org).c_str(), m.codeEnd - m.org, m.dataEnd - m.codeEnd,
                        request.rings ? "" : formatText(" and the rings %u from %s", m.ringBytes, hex(m.rings).c_str()).c_str(),
                        std::max(m.dataEnd, request.rings ? 0 : ringsEnd) - request.ramEnd));
    if (request.rings && (m.rings < request.ramFirst || ringsEnd > request.ramEnd))
        fail(formatText("the rings (%u bytes) at %s leave the RAM a program has: %s to %s\n", m.ringBytes,
                        hex(m.rings).c_str(), hex(request.ramFirst).c_str(), hex(request.ramEnd - 1).c_str()));
    if (request.rings && m.rings < m.dataEnd && ringsEnd > m.org)
        fail(formatText("the rings at %s to %s overlap the player and the songs at %s to %s\n", hex(m.rings).c_str(),
                        hex(ringsEnd - 1).c_str(), hex(m.org).c_str(), hex(m.dataEnd - 1).c_str()));

    auto [code, symbols] = assembled(m.zeroPage)->link(static_cast<uint16_t>(m.org), {{"lz_songs", m.table}});
    if (code.bytes.size() != m.codeEnd - m.org) fail("internal error: the player's size depends on its zero page\n");
    for (const char* name : calls)
        if (!symbols.count(name)) fail(std::string("the player has no ") + name + ": it was built without its game interface\n");
    for (const char* name : variables)
        if (!symbols.count(name)) fail(std::string("the player has no ") + name + ": it was built without its game interface\n");
    std::vector<uint8_t>& bytes = code.bytes;
    bytes.push_back(static_cast<uint8_t>(set.songs.size()));
    const auto word = [&](uint32_t value) { bytes.insert(bytes.end(), {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)}); };
    for (const PackedSong& song : set.songs) {
        word(song.start), word(song.end), word(m.rings), word(song.loopFrame ? song.loopRecordAt : 0);
        bytes.insert(bytes.end(), {static_cast<uint8_t>(song.calls), static_cast<uint8_t>(song.fiftyHz)});
    }
    for (const PackedSong& song : set.songs) {
        bytes.insert(bytes.end(), song.loopRecord.begin(), song.loopRecord.end());
        bytes.insert(bytes.end(), song.file.begin(), song.file.end());
    }
    std::vector<LoadSegment> segments{std::move(code)};
    const uint32_t ntsc = symbols.at("lz_ntsc");
    if (request.ntscTempo) {
        if (ntsc >= m.org && ntsc < m.codeEnd) segments[0].bytes[ntsc - m.org] = 1;
        else segments.push_back(LoadSegment{static_cast<uint16_t>(ntsc), {1}});
    }
    set.symbols = std::move(symbols);
    return atariBinary(segments);
}

std::vector<std::pair<std::string, std::string>> packSources(const PackedSet& set, const PackRequest& request,
                                                             const std::string& playerText)
{
    return {{".equ", equFile(set)},
            {".h", headerFile(set)},
            {".s", cSource(set, request, playerText)},
            {".inc", includeFile(set, request)}};
}
