#pragma once

#include <cstdint>

// Where a VGM file's header keeps what the reader and the writer use. The
// offsets fields are relative to the field's own position.
namespace vgm {
inline constexpr char signature[4] = {'V', 'g', 'm', ' '};
inline constexpr uint32_t eofOffsetField = 0x04;     // the file's length after this field
inline constexpr uint32_t versionField = 0x08;       // BCD, 0x171 for 1.71
inline constexpr uint32_t totalSamplesField = 0x18;  // the song's length at 44,100 samples a second
inline constexpr uint32_t loopOffsetField = 0x1C;    // where the loop starts in the commands; 0 for none
inline constexpr uint32_t loopSamplesField = 0x20;   // the loop's length in samples
inline constexpr uint32_t dataOffsetField = 0x34;    // where the commands start
inline constexpr uint32_t pokeyClockField = 0xB0;    // Hz; 0 when there is no POKEY
inline constexpr uint32_t dualChipFlag = 0x40000000;  // in the clock: two POKEY chips
inline constexpr uint32_t minimumVersion = 0x171;     // the first version with a POKEY clock
inline constexpr uint32_t headerSize = 0x100;         // of the files the program writes
inline constexpr uint32_t sampleRate = 44100;
}  // namespace vgm
