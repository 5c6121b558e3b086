#include "cli/sap_options.h"

#include "cli/messages.h"
#include "sap/sap_file.h"

#include <cmath>

namespace po = boost::program_options;

void addSapInputOptions(po::options_description& options)
{
    options.add_options()
        ("song", po::value<int>()->value_name("N"), "SAP: plays subsong N, from 0 (default DEFSONG)")
        ("seconds", po::value<double>()->value_name("S"), "SAP: plays S seconds (default TIME, else 180)")
        ("tv-frames", "SAP: a frame per TV frame, not per player call");
}

SapChoices readSapChoices(const po::variables_map& given)
{
    SapChoices choices;
    if (given.count("song")) {
        choices.song = given["song"].as<int>();
        if (*choices.song < 0) usageError("the subsong should be 0 or more");
    }
    if (given.count("seconds")) {
        choices.seconds = given["seconds"].as<double>();
        if (!(*choices.seconds > 0) || !std::isfinite(*choices.seconds)) usageError("the seconds should be more than 0");
    }
    choices.tvFrames = given.count("tv-frames") != 0;
    return choices;
}

void refuseSapChoicesForOtherInput(const SapChoices& choices, std::span<const uint8_t> input, const std::string& name)
{
    if ((choices.song || choices.seconds || choices.tvFrames) && !isSap(input))
        usageError(("--song, --seconds and --tv-frames are for SAP files, and '" + name + "' is not one").c_str());
}
