// What every benchmark stands on: the game's window and display brought up in process over
// the quiet backend, and the game's data files.
#pragma once

#include "../platform/headless/quiet.h"

#include <string>

#ifndef ASPHALTIX_GAME_DIR
#error "ASPHALTIX_GAME_DIR must name the game's data folder"
#endif

namespace bench {

inline bool DisplayUp() {
    static headless::QuietBackend backend;
    return headless::BringUpDisplay(backend);
}

inline std::string GameFile(const char* name) {
    return std::string(ASPHALTIX_GAME_DIR) + "/" + name;
}

}  // namespace bench
