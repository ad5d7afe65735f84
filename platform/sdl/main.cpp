// asphaltix: the game in a real window, with SDL underneath the platform layer.
//
// The game reads its data files from the current folder, as a Windows shortcut's working
// folder gives it. Started from anywhere else (a desktop menu, a terminal in another folder),
// it first finds its data folder and makes that the current folder: beside the program, then
// the installed data folder found from the program's own place.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sdl.h"

#ifndef ASPHALTIX_DATA_FROM_BIN
#define ASPHALTIX_DATA_FROM_BIN "../share/games/asphaltix"
#endif

namespace {

constexpr const char* kDataFiles[] = {"Strasse.gfx", "Autos.gfx", "Back.gfx",
                                      "Status.gfx",  "Menu.snd",  "Engine.snd",
                                      "Crash1.snd",  "Bonus.snd", "Highscore.List"};

// A folder with any of the game's files counts: with one missing the game still starts and
// does without it, as it always has.
bool HoldsData(const std::string& folder) {
    for (const char* name : kDataFiles) {
        if (access((folder + "/" + name).c_str(), R_OK) == 0) return true;
    }
    return false;
}

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "";
    std::string program(path, static_cast<size_t>(length));
    return program.substr(0, program.rfind('/'));
}

// Makes the data folder the current one; false, with a message naming where it looked, when
// there is none.
bool EnterDataFolder() {
    if (HoldsData(".")) return true;
    std::vector<std::string> places;
    const std::string bin = ProgramFolder();
    if (!bin.empty()) {
        places.push_back(bin);
        places.push_back(bin + "/" + ASPHALTIX_DATA_FROM_BIN);
    }
    for (const std::string& place : places) {
        if (HoldsData(place) && chdir(place.c_str()) == 0) return true;
    }
    char cwd[PATH_MAX];
    std::vector<std::string> looked{getcwd(cwd, sizeof cwd) != nullptr ? cwd : "."};
    for (const std::string& place : places) {
        char* real = realpath(place.c_str(), nullptr);
        const std::string name = real != nullptr ? real : place;
        std::free(real);
        if (name != looked.back()) looked.push_back(name);
    }
    std::string text = "The game's data files (Strasse.gfx, Autos.gfx, ... Highscore.List) ";
    text += "were not found. Looked in:";
    for (const std::string& name : looked) {
        text += "\n";
        text += name;
    }
    std::fprintf(stderr, "asphaltix: %s\n", text.c_str());
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Asphaltix", text.c_str(), nullptr);
    return false;
}

}  // namespace

int main(int, char**) {
    if (std::getenv(sdl::kProbeVariable) != nullptr) return sdl::ProbeRenderer();
    SDL_SetMainReady();
    // A recording named relative to where the player started the game stays there.
    if (const char* record = std::getenv("ASPHALTIX_RECORD");
        record != nullptr && *record != '\0' && *record != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) != nullptr) {
            std::string full = cwd;
            full += '/';
            full += record;
            setenv("ASPHALTIX_RECORD", full.c_str(), 1);
        }
    }
    if (!EnterDataFolder()) return 1;
    sdl::AllowRendererProbe();
    static sdl::Backend backend;
    plat::Install(&backend);
    static char empty[] = "";
    int code = WinMain(reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)), nullptr,
                       empty, SW_SHOWDEFAULT);
    backend.Close();
    SDL_Quit();
    return code;
}
