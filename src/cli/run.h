#pragma once

// One whole conversion: command line, input, the conversion in memory, then
// the notices, the output file and the report. Returns normally for a written
// file, the help and a song trimmed to silence; throws for every failure.
void runConversion(int argc, char** argv);
