// asphaltix-headless: the whole game on the headless backend (see docs/headless.md).
#include "headless.h"

#include <cstdio>

int main(int argc, char** argv) {
    headless::Options options;
    std::string error;
    if (!headless::ParseCommandLine(argc, argv, options, error)) {
        std::fprintf(stderr, "asphaltix-headless: %s\n", error.c_str());
        return 2;
    }
    static headless::Backend backend(std::move(options));
    return backend.Run();
}
