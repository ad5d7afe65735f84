// The headless backend: an in-memory display, a virtual clock, scripted input, an event log
// and PNG pictures of the screen. Runs the game deterministically.
#pragma once

#include "../core/platform.h"

#include <cstdio>
#include <string>
#include <vector>

namespace headless {

enum class ActionKind { Down, Up, Repeat, Activate, Deactivate, Close };

struct Event {
    long long frame = 0;
    ActionKind kind = ActionKind::Down;
    int key = 0;
    bool alt = false;  // with Alt held: a system key
};

struct Shot {
    long long frame = 0;
    std::string name;  // as given, for the log
    std::string path;  // resolved against the runner's starting folder
    bool taken = false;
};

struct Options {
    std::string dir = ".";
    std::string scriptPath;
    long long frames = 100000;
    std::vector<Shot> shots;
    std::string logPath;
    std::string audioPath;
    plat::PixelFormat format = plat::kFormat565;
    bool activate = true;
    bool failWindow = false;
    bool failDirectDraw = false;
    bool failDirectSound = false;
    std::vector<Event> events;
};

// Parses the command line (and the script it names) into options. On failure returns false
// with a one-line message in `error`.
bool ParseCommandLine(int argc, char** argv, Options& options, std::string& error);
// Parses script text; `origin` resolves relative shot paths.
bool ParseScript(const std::string& text, const std::string& origin, Options& options,
                 std::string& error);

// Writes the visible screen as a 640 x 480 RGB PNG; black without a front surface.
bool WriteScreenPng(const std::string& path);
// Writes 16-bit pixels of the given format as an RGB PNG, widened by bit replication.
bool WritePng(const std::string& path, const uint8_t* pixels, int pitch, int width, int height,
              const plat::PixelFormat& format);

class Backend final : public plat::Backend {
public:
    explicit Backend(Options options);

    // Runs the game's entry point and ends the run; returns the exit status.
    int Run();

    bool CreateWindow(const char* title) override;
    void ScreenSize(int& width, int& height) override;
    bool ActivateOnShow() override;
    void DestroyWindow() override;
    void PollInput() override;
    void WaitForInput() override;
    bool OpenDisplay() override;
    plat::PixelFormat DisplayFormat() override;
    void BeforeFlip() override;
    void AfterFlip() override;
    void FrontChanged() override;
    void Sleep(DWORD ms) override;
    void ShowMessageBox(const char* title, const char* text, UINT style) override;
    bool OpenAudio(plat::Mixer* mixer) override;
    void SoundEvent(int buffer, const char* what, DWORD value) override;
    void MciCommand(const char* command, MCIERROR result) override;

    long long Flips() const { return flips_; }

private:
    void Deliver(const Event& event);
    void TakeShots(long long frame, bool atEnd);
    [[noreturn]] void End(const std::string& last, int status);
    void Log(const std::string& line);
    void AdvanceAudio(long long frames);

    Options options_;
    std::FILE* log_ = nullptr;
    size_t nextEvent_ = 0;
    long long flips_ = 0;
    plat::Mixer* mixer_ = nullptr;
    std::vector<int16_t> audio_;
};

}  // namespace headless
