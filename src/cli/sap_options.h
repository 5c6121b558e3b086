#pragma once

#include "sap/sap_choices.h"

#include <boost/program_options.hpp>

#include <cstdint>
#include <span>
#include <string>

// The options that choose what is played of a SAP file, shared by
// regsqueeze and lz16 survey.
void addSapInputOptions(boost::program_options::options_description& options);

// The choices given; a value out of range ends the run with a usage error.
SapChoices readSapChoices(const boost::program_options::variables_map& given);

// Ends the run with a usage error when SAP choices were given for an input
// that is not a SAP file.
void refuseSapChoicesForOtherInput(const SapChoices& choices, std::span<const uint8_t> input, const std::string& name);
