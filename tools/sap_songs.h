#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Small SAP files of our own for the tests and the fuzzer's seeds.
namespace sap_songs {

// The header's lines, each ended with CR LF after a first line "SAP", then
// the body as it is.
std::vector<uint8_t> sapFile(const std::vector<std::string>& tags, const std::vector<uint8_t>& body);

// $FF $FF, the first and last address, then the bytes.
std::vector<uint8_t> segment(uint16_t start, const std::vector<uint8_t>& bytes);

// A tune whose player counts its calls into AUDF1 of both chips (through
// $D200 and $D210), whose initialisation puts the subsong into AUDF2 and,
// in TYPE C, the MUSIC address into AUDF3 (low) and AUDF4 (high). The tags
// given come after the TYPE and addresses: 'B' or 'C'.
std::vector<uint8_t> countingTune(char type, const std::vector<std::string>& tags);
inline constexpr uint16_t countingTuneMusic = 0x1234;

}  // namespace sap_songs
