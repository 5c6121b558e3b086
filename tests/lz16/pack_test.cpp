// lz16 pack run as a process: what it refuses, and where its binary and
// equates put the player, the song table, the songs and the rings.
#ifdef LZ16_HAS_CC65
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const std::string dir = (fs::temp_directory_path() / ("lz16-pack-" + std::to_string(::getpid()))).string() + "/";
const std::string example = std::string(SOURCE_DIR) + "/examples/example.vgm";
const std::string pack = std::string(LZ16_BINARY) + " pack ";

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int run(const std::string& command, std::string* err = nullptr)
{
    const int status = std::system((command + " >" + dir + "out 2>" + dir + "err").c_str());
    if (err) *err = slurp(dir + "err");
    return WEXITSTATUS(status);
}

class Pack : public testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(Pack, RefusesBadInputAndWritesNothing)
{
    ASSERT_EQ(run(std::string(REGSQUEEZE_BINARY) + " -q -t " + example + " " + dir + "ex.lz16"), 0);
    const std::string songs = " -o 8 -l 8 -m 1 --out " + dir + "set " + example;
    const std::pair<std::string, std::string> cases[] = {
        {"-o 13 -l 3 -m 1 --out " + dir + "set " + example, "offset"},
        {"-o 8 -l 8 -m 2 --out " + dir + "set " + dir + "ex.lz16", "was made with -o 8 -l 8 -m 1, not -o 8 -l 8 -m 2"},
        {"--org '$B800'" + songs, "do not fit below $C000 at $B800"},
        {"--org 0xC000" + songs, "--org $C000 is not in the RAM"},
        {"--org 256" + songs, "--org $0100 is not in the RAM"},
        {"--org 3000h" + songs, "--org should be an address"},
        {"--zp '$F8'" + songs, "the zero page from --zp $F8 has 8 bytes, and the player needs 9"},
        {"--zp '$100'" + songs, "--zp $0100 is not in the zero page"},
        {"--rings '$3080'" + songs, "--rings $3080 is not page-aligned"},
        {"--rings '$3000'" + songs, "the rings at $3000 to $37FF overlap"},
        {"--rings '$BF00'" + songs, "the rings (2048 bytes) at $BF00 leave the RAM"},
    };
    for (const auto& [arguments, message] : cases) {
        std::string err;
        EXPECT_EQ(run(pack + arguments, &err), 1) << arguments;
        EXPECT_NE(err.find(message), std::string::npos) << arguments << "\n" << err;
        for (const char* suffix : {".obx", ".equ", ".h", ".s", ".inc", "-0.lz16"})
            EXPECT_FALSE(fs::exists(dir + "set" + suffix)) << arguments << suffix;
    }
}

// The equates assemble with ca65, which stands in for the other assemblers:
// only "name = $HEX" lines and comments. The binary's segments hold, at the
// equates' addresses, the player, the table, and the songs and loop records
// that regsqueeze --loop writes with the setting chosen, and lz_ntsc preset.
TEST_F(Pack, BinaryAndEquatesAgree)
{
    std::string err;
    ASSERT_EQ(run(pack + "--loop --ntsc-tempo --org 0x2400 --zp 128 --out " + dir + "set " + example + " " + example,
                  &err), 0) << err;
    const std::string out = slurp(dir + "out");
    const std::string setting = out.substr(9, out.find(" (") - 9);
    ASSERT_EQ(run(std::string(REGSQUEEZE_BINARY) + " -q --loop " + setting + " " + example + " " + dir + "ex.lz16"), 0);
    std::string record;
    std::istringstream inc(slurp(dir + "ex.inc"));
    for (std::string word; inc >> word;)
        for (size_t at = word.find('$'); word.starts_with("$") && at != std::string::npos; at = word.find('$', at + 1))
            record += char(std::stoul(word.substr(at + 1, 2), nullptr, 16));
    ASSERT_EQ(record.size(), 82u);

    std::map<std::string, uint32_t> equ;
    std::istringstream lines(slurp(dir + "set.equ"));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(";")) continue;
        const size_t equals = line.find(" = $");
        ASSERT_NE(equals, std::string::npos) << line;
        ASSERT_EQ(line.find_first_not_of("0123456789ABCDEF", equals + 4), std::string::npos) << line;
        equ[line.substr(0, equals)] = static_cast<uint32_t>(std::stoul(line.substr(equals + 4), nullptr, 16));
    }
    std::ofstream(dir + "equ.s") << ".include \"set.equ\"\n.assert lz_org = $2400 && lz_zp = $80, error\n";
    ASSERT_EQ(run("cd " + dir + " && ca65 equ.s", &err), 0) << err;

    // The segments of the binary load file, by their first address.
    const std::string obx = slurp(dir + "set.obx");
    std::map<uint32_t, std::string> segments;
    ASSERT_EQ(obx.substr(0, 2), "\xFF\xFF");
    for (size_t at = 2; at + 4 <= obx.size();) {
        const auto word = [&](size_t i) { return uint8_t(obx[i]) | uint32_t(uint8_t(obx[i + 1])) << 8; };
        const uint32_t first = word(at), last = word(at + 2);
        ASSERT_LE(first, last);
        segments[first] = obx.substr(at + 4, last - first + 1);
        at += 4 + last - first + 1;
    }
    const std::string& image = segments[equ.at("lz_org")];
    ASSERT_EQ(equ.at("lz_org") + image.size(), equ.at("lz_end"));
    for (const char* name : {"lz_init", "lz_song", "lz_frame", "lz_play", "lz_stop", "lz_songs"})
        EXPECT_LT(equ.at(name) - equ.at("lz_org"), image.size()) << name;
    const auto byteAt = [&](uint32_t address) { return uint8_t(image.at(address - equ.at("lz_org"))); };
    const auto wordAt = [&](uint32_t address) { return byteAt(address) | uint32_t(byteAt(address + 1)) << 8; };
    EXPECT_EQ(byteAt(equ.at("lz_ntsc")), 1);
    EXPECT_EQ(equ.at("lz_rings") % 256, 0u);
    EXPECT_GE(equ.at("lz_rings"), equ.at("lz_end"));
    EXPECT_LE(equ.at("lz_rings_end"), 0xC000u);
    ASSERT_EQ(byteAt(equ.at("lz_songs")), 2);
    for (uint32_t k = 0; k < 2; ++k) {
        const uint32_t entry = equ.at("lz_songs") + 1 + 10 * k;
        const uint32_t start = wordAt(entry), end = wordAt(entry + 2);
        EXPECT_EQ(image.substr(start - equ.at("lz_org"), end - start), slurp(dir + "ex.lz16")) << k;
        EXPECT_EQ(slurp(dir + "set-" + std::to_string(k) + ".lz16"), slurp(dir + "ex.lz16")) << k;
        EXPECT_EQ(wordAt(entry + 4), equ.at("lz_rings"));
        EXPECT_EQ(image.substr(wordAt(entry + 6) - equ.at("lz_org"), record.size()), record) << k;
        EXPECT_EQ(wordAt(entry + 8), 1u + 256);  // one call a TV frame, 50 Hz
    }
}

}  // namespace
#endif
