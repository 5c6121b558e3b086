#include "cli/run.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv)
{
    try {
        runConversion(argc, argv);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << "\n";
    } catch (...) {
        // Nothing of ours throws anything else, but a failure must never end with success.
        std::cerr << "Exception of unknown type!\n";
    }
    return 1;
}
