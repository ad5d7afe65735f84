// Music: MIDI through MCI command strings under the alias MUSIC.
#include "sound.h"

#include "../app/app.h"

#include <cstdio>
#include <cstring>

namespace {

MCIERROR Send(const char* command, HWND callback) {
    return mciSendStringA(command, nullptr, 0, callback);
}

constexpr size_t kMusicCommandSize = 256;

}  // namespace

bool DirectSoundDevice::OpenMusic(const char* fileName) {
    if (fileName == nullptr) return false;
    char command[kMusicCommandSize];
    int length =
        std::snprintf(command, sizeof command, "open %s type sequencer alias MUSIC", fileName);
    // A name that does not fit the command is refused.
    if (length < 0 || static_cast<size_t>(length) >= sizeof command) return false;
    if (Send("close all", nullptr) != 0) return false;
    if (Send(command, nullptr) != 0) return false;
    return Send("play MUSIC from 0", MainWindow) == 0;
}

bool DirectSoundDevice::StopMusic() { return Send("stop MUSIC", nullptr) == 0; }

bool DirectSoundDevice::ResumeMusic() { return Send("play MUSIC notify", MainWindow) == 0; }

bool DirectSoundDevice::CloseMusic() { return Send("close all", nullptr) == 0; }

bool DirectSoundDevice::RestartMusic() { return Send("play MUSIC from 0 notify", MainWindow) == 0; }
