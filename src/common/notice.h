#pragma once

#include <string>
#include <vector>

// A message for the user that does not stop the conversion. The conversion
// hands its notices back in the order they arose; the command line decides
// how and whether each is shown.
struct Notice {
    enum class Kind {
        Trimming,        // what trimming cut; shown after the program's name
        ChannelSkipped,  // a constant channel left out; not shown when quiet
        Warning,         // always shown
    };
    Kind kind;
    std::string text;
    std::string file{};  // the file the notice is about; its text then follows the file's name
};

using Notices = std::vector<Notice>;

// The notice as the user reads it: "File '<file>' <text>" for a notice
// about a file, else its text.
std::string describe(const Notice& notice);

// printf-style formatting into a string, for notices and messages.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
