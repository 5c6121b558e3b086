#include "sap_songs.h"

#include "atari/atari_binary.h"
#include "sap/sap_file.h"

namespace sap_songs {

std::vector<uint8_t> sapFile(const std::vector<std::string>& tags, const std::vector<uint8_t>& body)
{
    std::string header(sapSignature);
    for (const std::string& tag : tags) header += tag + "\r\n";
    std::vector<uint8_t> file(header.begin(), header.end());
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::vector<uint8_t> segment(uint16_t start, const std::vector<uint8_t>& bytes)
{
    const LoadSegment one{start, bytes};
    return atariBinary(std::span(&one, 1));
}

std::vector<uint8_t> countingTune(char type, const std::vector<std::string>& tags)
{
    const std::vector<uint8_t> program = {
        // $2000 play: INC $80, LDA $80, STA $D200, ASL A, STA $D210, RTS
        0xE6, 0x80, 0xA5, 0x80, 0x8D, 0x00, 0xD2, 0x0A, 0x8D, 0x10, 0xD2, 0x60,
        // $200C TYPE B's INIT: STA $D202, RTS
        0x8D, 0x02, 0xD2, 0x60,
        // $2010 TYPE C's: CMP #$70, BNE subsong, STX $D204, STY $D206, RTS; subsong: STX $D202, RTS
        0xC9, 0x70, 0xD0, 0x07, 0x8E, 0x04, 0xD2, 0x8C, 0x06, 0xD2, 0x60, 0x8E, 0x02, 0xD2, 0x60,
        // $201F TYPE C's entry points: +3 JMP $2010, +6 JMP $2000
        0x60, 0xEA, 0xEA, 0x4C, 0x10, 0x20, 0x4C, 0x00, 0x20};
    std::vector<std::string> header = {type == 'B' ? "TYPE B" : "TYPE C"};
    if (type == 'B') header.insert(header.end(), {"INIT 200C", "PLAYER 2000"});
    else header.insert(header.end(), {"MUSIC 1234", "PLAYER 201F"});
    header.insert(header.end(), tags.begin(), tags.end());
    return sapFile(header, segment(0x2000, program));
}

}  // namespace sap_songs
