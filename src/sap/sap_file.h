#pragma once

#include "common/timing.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// How a SAP file's music is played: B and C by calling its 6502 code, R by
// reading the registers' values frame by frame.
enum class SapType { B, C, R };

// Bytes that load at start, start + 1, …
struct SapSegment {
    uint16_t start = 0;
    std::span<const uint8_t> bytes;
};

// What a SAP file holds, as its header gives it. The spans point into the
// file's bytes.
struct SapFile {
    SapType type = SapType::B;
    bool stereo = false;  // a second POKEY chip
    bool ntsc = false;    // 262 scan lines a frame instead of 312
    int fastplay = 0;     // scan lines from one player call to the next
    std::optional<uint16_t> init, music, player;
    int songs = 1;
    int defaultSong = 0;
    std::string name, author;                    // as the header gives them, without the quotes
    std::vector<std::optional<double>> seconds;  // each subsong's TIME, if it has one
    std::vector<SapSegment> segments;            // TYPE B and C: the program
    std::span<const uint8_t> registerBytes;      // TYPE R: everything after the header
};

inline int scanLinesPerTvFrame(const SapFile& sap) { return sap.ntsc ? ntscScanLines : palScanLines; }
inline double cpuClock(const SapFile& sap) { return sap.ntsc ? ntscClock : palClock; }

// The file's first line is "SAP": it is read as SAP, whatever its name.
// The first line of every SAP file.
inline constexpr std::string_view sapSignature = "SAP\r\n";

bool isSap(std::span<const uint8_t> file);

// Reads the header and the segments. Throws Ex naming the file and the fault
// when the file cannot be played as TYPE B, C or R.
SapFile readSapFile(std::span<const uint8_t> file, const std::string& name);

// Throws Ex with "File '<name>' <fault>": the form of every message about a
// SAP file's contents.
[[noreturn]] void throwSapFault(const std::string& name, const std::string& fault);
