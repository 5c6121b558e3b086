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

// A tune whose player writes the number of calls so far to $D200 and twice
// it to $D210: chip 2's AUDF1 with two chips, on one chip the same
// register as $D200, which it repeats. Its initialisation puts the subsong
// into AUDF2 and, in TYPE C, the MUSIC address into AUDF3 (low) and AUDF4
// (high). type is 'B' or 'C'; the tags given follow TYPE and the addresses.
std::vector<uint8_t> countingTune(char type, const std::vector<std::string>& tags);

}  // namespace sap_songs
