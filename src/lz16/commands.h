#pragma once

#include <boost/program_options.hpp>

// Declares the options of each command, for its own help, the program's
// help and its command line.
void addSurveyOptions(boost::program_options::options_description& options);
void addVgmOptions(boost::program_options::options_description& options);

// Each command's whole run, given the arguments from the command's name on.
// The help ends the run normally; a broken rule ends it through usageError.
void runSurvey(int argc, char** argv);
void runVgm(int argc, char** argv);

// Parses a command's arguments (argv[0] is the command's name) against its
// options and "help", taking the arguments that are no option as "files".
// When the help is asked for, prints the text about the command, then the
// options, and returns false.
bool parseCommandLine(int argc, char** argv, void (*addOptions)(boost::program_options::options_description&),
                      const char* about, boost::program_options::variables_map& given);
