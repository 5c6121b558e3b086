#include "cli/options.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using testing_support::runRegsqueeze;

namespace {

struct Parsed {
    LzssSettings settings;
    RunOptions options;
};

// Runs the option handling in this process for command lines it accepts.
Parsed parse(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "regsqueeze");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    Parsed parsed;
    EXPECT_TRUE(readCommandLine(static_cast<int>(arguments.size()), argv.data(), parsed.settings, parsed.options));
    return parsed;
}

void expectWidths(const std::vector<std::string>& arguments, int offsetBits, int lengthBits, int minMatch = 1)
{
    std::vector<std::string> withFile = arguments;
    withFile.push_back("song.vgm");
    const Parsed parsed = parse(withFile);
    EXPECT_EQ(parsed.settings.offsetBits, offsetBits);
    EXPECT_EQ(parsed.settings.lengthBits, lengthBits);
    EXPECT_EQ(parsed.settings.minMatchLength, minMatch);
}

std::string usageMessage(const std::string& message)
{
    return "conv: error, " + message + "\nTry 'conv -h' for help.\n";
}

// Runs the real binary under the name conv and expects a usage error.
void expectUsageError(const std::vector<std::string>& arguments, const std::string& message)
{
    const auto result = runRegsqueeze(arguments, "conv");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, usageMessage(message));
    EXPECT_EQ(result.out, "");
}

}  // namespace

TEST(Options, DeriveTheThirdWidth)
{
    expectWidths({}, 8, 8);
    expectWidths({"-o", "6"}, 6, 10);
    expectWidths({"-l", "6"}, 10, 6);
    expectWidths({"-b", "12"}, 8, 4);
    expectWidths({"-o", "4", "-b", "12"}, 4, 8);
    expectWidths({"-o", "4", "-l", "4"}, 4, 4);
    expectWidths({"-o", "0"}, 0, 16);
    expectWidths({"-l", "4", "-b", "12"}, 8, 4);
}

TEST(Options, PresetsOverrideStoredValuesAndTheLastWins)
{
    expectWidths({"--eight"}, 4, 4);
    expectWidths({"-2"}, 7, 5);
    expectWidths({"-8", "-2"}, 7, 5);
    expectWidths({"-6", "-m", "3"}, 8, 8, 1);
    expectWidths({"-2", "-m", "3"}, 7, 5, 3);
}

TEST(Options, AcceptsPrefixesAndAttachedValues)
{
    expectWidths({"--six"}, 8, 8);
    expectWidths({"-o6"}, 6, 10);
    expectWidths({"--offset=6"}, 6, 10);
    expectWidths({"--off", "6"}, 6, 10);
}

TEST(Options, FlagsAndVerbosity)
{
    EXPECT_EQ(parse({"a.vgm"}).options.verbosity, 1);
    EXPECT_EQ(parse({"-q", "a.vgm"}).options.verbosity, 0);
    EXPECT_EQ(parse({"-q", "-v", "a.vgm"}).options.verbosity, 2);
    const Parsed plain = parse({"a.vgm"});
    EXPECT_TRUE(plain.options.forceEndLiteral);
    EXPECT_FALSE(plain.options.oldFormat);
    EXPECT_FALSE(plain.options.trim);
    const Parsed flagged = parse({"-e", "-x", "-t", "a.vgm"});
    EXPECT_FALSE(flagged.options.forceEndLiteral);
    EXPECT_TRUE(flagged.options.oldFormat);
    EXPECT_TRUE(flagged.options.trim);
}

TEST(Options, OutputNameReplacesTheExtension)
{
    EXPECT_EQ(parse({"song.vgm"}).options.outputPath, "song.lz16");
    EXPECT_EQ(parse({"song"}).options.outputPath, "song.lz16");
    EXPECT_EQ(parse({"a.b.vgm"}).options.outputPath, "a.b.lz16");
    EXPECT_EQ(parse({".vgm"}).options.outputPath, ".vgm.lz16");
    EXPECT_EQ(parse({"dir.d/song.vgm"}).options.outputPath, "dir.d/song.lz16");
    const Parsed both = parse({"in.vgm", "out.bin"});
    EXPECT_EQ(both.options.inputPath, "in.vgm");
    EXPECT_EQ(both.options.outputPath, "out.bin");
    EXPECT_EQ(parse({"--files", "in.vgm", "--files=o"}).options.outputPath, "o");
}

TEST(OptionsBinary, RejectsBadWidthsWithTheFirstFailingCheck)
{
    expectUsageError({"-o", "13", "song.vgm"}, "match offset bits should be from 0 to 12");
    expectUsageError({"--offset=-1", "song.vgm"}, "match offset bits should be from 0 to 12");
    expectUsageError({"-l", "2", "song.vgm"}, "match offset bits should be from 0 to 12");
    expectUsageError({"-o", "4", "-l", "17", "song.vgm"}, "match length bits should be from 2 to 16");
    expectUsageError({"-b", "7", "-o", "99", "song.vgm"}, "total match bits should be from 8 to 16");
    expectUsageError({"-b", "17", "song.vgm"}, "total match bits should be from 8 to 16");
    expectUsageError({"-8", "-o", "4", "song.vgm"}, "only two of OFFSET, LENGTH and TOTAL bits should be given");
    expectUsageError({"-o", "4", "-l", "4", "-b", "8", "song.vgm"},
                     "only two of OFFSET, LENGTH and TOTAL bits should be given");
    expectUsageError({"-m", "0", "song.vgm"}, "minimum match length should be from 1 to 16");
    expectUsageError({"-m", "17", "song.vgm"}, "minimum match length should be from 1 to 16");
    // A bad width is reported before a missing file name.
    expectUsageError({"-o", "13"}, "match offset bits should be from 0 to 12");
}

TEST(OptionsBinary, RejectsWidthsTheCodeCannotHold)
{
    expectUsageError({"-o", "9", "-l", "8", "song.vgm"}, "total match bits should be from 8 to 16");
    expectUsageError({"-o", "10", "-b", "12", "song.vgm"},
                     "match offset bits should be from 0 to 8 for 9 to 12 total bits");
    expectUsageError({"-o", "9", "-l", "2", "song.vgm"},
                     "match offset bits should be from 0 to 8 for 9 to 12 total bits");
}

TEST(OptionsBinary, FileNameCounts)
{
    expectUsageError({}, "regsqueeze requires atleast one input file");
    expectUsageError({"--files", "a", "--files", "b", "--files", "c"},
                     "too many arguments: one input file and one output file expected");
    const auto three = runRegsqueeze({"a", "b", "c"});
    EXPECT_EQ(three.status, 1);
    EXPECT_EQ(three.err.rfind("error: ", 0), 0u) << three.err;
}

TEST(OptionsBinary, LibraryErrorsReachTheTopLevelHandler)
{
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--bogus", "a"}, {"-o", "x", "a"}, {"-o"}, {"-o", "4", "-o", "5", "a"},
          {"--trim=1", "a"}}) {
        const auto result = runRegsqueeze(arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind("error: ", 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}

TEST(OptionsBinary, HelpShowsTheInitialDefaultsOnStandardOutput)
{
    const auto result = runRegsqueeze({"-o", "6", "-v", "-h", "missing.vgm"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind("Allowed options:\n", 0), 0u);
    for (const char* line : {"Sets match offset bits (default = 8)", "Sets match length bits (default = 8)",
                              "Sets minimum match length (default = 1)",
                              "Sets match total bits (=offset+length) (default = 16)", "-6 [ --sixteen ]",
                              "-t [ --trim ]         Tries to trim SAP-R file before compressing",
                              "--files arg           optional input/output files\n\n"})
        EXPECT_NE(result.out.find(line), std::string::npos) << line;
    EXPECT_LT(result.out.find("--help"), result.out.find("--quiet"));
    EXPECT_LT(result.out.find("--old"), result.out.find("--trim"));
}
