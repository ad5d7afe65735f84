// MCI command strings: the commands the game sends, with MCI's answers. No MIDI sequencer
// is available, so opening a sequence fails and no device is ever open under an alias.
#include "platform.h"

#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Words(const std::string& command) {
    std::istringstream in(command);
    std::vector<std::string> words;
    for (std::string w; in >> w;) {
        for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        words.push_back(w);
    }
    return words;
}

MCIERROR Execute(const std::string& command) {
    std::vector<std::string> w = Words(command);
    if (w.empty()) return MCIERR_UNRECOGNIZED_COMMAND;
    const std::string& verb = w[0];
    if (verb == "open") {
        if (w.size() < 2) return MCIERR_MISSING_DEVICE_NAME;
        // The element is the word after "open" as given (case kept for the file system).
        std::istringstream in(command);
        std::string skip, element;
        in >> skip >> element;
        std::FILE* f = std::fopen(element.c_str(), "rb");
        if (f == nullptr) return MCIERR_FILE_NOT_FOUND;
        std::fclose(f);
        return MCIERR_CANNOT_LOAD_DRIVER;
    }
    if (verb == "close" || verb == "stop" || verb == "play" || verb == "pause" ||
        verb == "resume" || verb == "seek" || verb == "status" || verb == "set") {
        if (w.size() < 2) return MCIERR_MISSING_DEVICE_NAME;
        if (verb == "close" && w[1] == "all") return 0;  // nothing open, nothing to close
        return MCIERR_INVALID_DEVICE_NAME;
    }
    return MCIERR_UNRECOGNIZED_COMMAND;
}

}  // namespace

MCIERROR WINAPI mciSendStringA(LPCSTR command, LPSTR returnString, UINT returnLength, HWND) {
    if (returnString != nullptr && returnLength > 0) returnString[0] = '\0';
    std::string text = command != nullptr ? command : "";
    MCIERROR result = Execute(text);
    plat::Current().MciCommand(text.c_str(), result);
    return result;
}
