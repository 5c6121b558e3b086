#pragma once

#include <boost/program_options.hpp>

#include <initializer_list>

// Declares the options of each command, for its own help, the program's
// help and its command line. The file settings (-o, -l, -m, -x) of the
// commands that decode a file are in song_input.h.
using OptionAdder = void (*)(boost::program_options::options_description&);
void addSurveyOptions(boost::program_options::options_description& options);
void addVgmOptions(boost::program_options::options_description& options);
void addChipOptions(boost::program_options::options_description& options);  // sap and xex
void addSapOptions(boost::program_options::options_description& options);
void addPackOptions(boost::program_options::options_description& options);

// Each command's whole run, given the arguments from the command's name on.
// The help ends the run normally; a broken rule ends it through usageError.
void runSurvey(int argc, char** argv);
void runVgm(int argc, char** argv);
void runSap(int argc, char** argv);
void runXex(int argc, char** argv);
void runInfo(int argc, char** argv);
void runPack(int argc, char** argv);

// Parses a command's arguments (argv[0] is the command's name) against its
// options and "help", taking the arguments that are no option as "files".
// When the help is asked for, prints the text about the command, then the
// options, and returns false.
bool parseCommandLine(int argc, char** argv, std::initializer_list<OptionAdder> addOptions, const char* about,
                      boost::program_options::variables_map& given);
