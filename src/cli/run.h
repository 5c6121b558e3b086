#pragma once

// One whole conversion: command line, input, capture, trimming, the
// compressed file and the report. Ends the process itself on a rejected
// command line or an output file that cannot be written; throws Ex for a
// bad input file.
void runConversion(int argc, char** argv);
