#include "headless.h"

#include "../core/keys.h"
#include "../core/mixer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace headless {
namespace {

std::string StartDir() {
    static std::string dir = [] {
        std::vector<char> buf(4096);
        if (getcwd(buf.data(), buf.size()) == nullptr) return std::string(".");
        return std::string(buf.data());
    }();
    return dir;
}

std::string Resolve(const std::string& path, const std::string& origin) {
    if (!path.empty() && path[0] == '/') return path;
    return origin + "/" + path;
}

bool ParseCount(const std::string& text, long long& value) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    value = std::stoll(text);
    return true;
}

bool ParseShotOption(const std::string& value, const std::string& origin, Options& options) {
    size_t colon = value.find(':');
    if (colon == std::string::npos) return false;
    long long frame = 0;
    if (!ParseCount(value.substr(0, colon), frame)) return false;
    std::string name = value.substr(colon + 1);
    if (name.empty()) return false;
    options.shots.push_back(Shot{frame, name, Resolve(name, origin), false});
    return true;
}

void Put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// 48 kHz stereo 16-bit PCM RIFF WAVE.
bool WriteWav(const std::string& path, const std::vector<int16_t>& samples) {
    const uint32_t rate = plat::Mixer::kOutputRate;
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string out;
    out += "RIFF";
    Put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, WAVE_FORMAT_PCM);
    Put16(out, 2);
    Put32(out, rate);
    Put32(out, rate * 4);
    Put16(out, 4);
    Put16(out, 16);
    out += "data";
    Put32(out, dataBytes);
    for (int16_t s : samples) Put16(out, static_cast<uint16_t>(s));
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

constexpr long long kAudioFramesPerFlip = plat::Mixer::kOutputRate / 60;

}  // namespace

bool ParseScript(const std::string& text, const std::string& origin, Options& options,
                 std::string& error) {
    struct Pending {
        Event event;
        int order;  // releases scheduled by a press come before the frame's own events
        size_t seq;
    };
    std::vector<Pending> list;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    long long lastFrame = 0;
    size_t seq = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty()) continue;
        auto fail = [&](const std::string& why) {
            error = "script line " + std::to_string(lineNo) + ": " + why;
            return false;
        };
        long long frame = 0;
        if (!ParseCount(w[0], frame)) return fail("bad frame '" + w[0] + "'");
        if (frame < lastFrame) return fail("frame " + w[0] + " is smaller than the line before");
        lastFrame = frame;
        if (w.size() < 2) return fail("missing action");
        const std::string& action = w[1];
        bool takesKey =
            action == "down" || action == "up" || action == "press" || action == "repeat";
        bool takesFile = action == "shot";
        bool takesNothing = action == "activate" || action == "deactivate" || action == "close";
        if (!takesKey && !takesFile && !takesNothing)
            return fail("unknown action '" + action + "'");
        if (takesNothing && w.size() != 2) return fail("'" + action + "' takes no argument");
        if ((takesKey || takesFile) && w.size() != 3)
            return fail("'" + action + "' takes one argument");
        if (takesFile) {
            options.shots.push_back(Shot{frame, w[2], Resolve(w[2], origin), false});
            continue;
        }
        Event e;
        e.frame = frame;
        if (takesKey) {
            std::string key = w[2];
            e.alt = key.rfind("alt+", 0) == 0;
            if (e.alt) key.erase(0, 4);
            e.key = plat::KeyFromName(key);
            if (e.key < 0) return fail("unknown key '" + w[2] + "'");
        }
        if (action == "down" || action == "press") e.kind = ActionKind::Down;
        if (action == "up") e.kind = ActionKind::Up;
        if (action == "repeat") e.kind = ActionKind::Repeat;
        if (action == "activate") e.kind = ActionKind::Activate;
        if (action == "deactivate") e.kind = ActionKind::Deactivate;
        if (action == "close") e.kind = ActionKind::Close;
        list.push_back(Pending{e, 1, seq++});
        if (action == "press") {
            Event up = e;
            up.kind = ActionKind::Up;
            up.frame = frame + 1;
            list.push_back(Pending{up, 0, seq++});
        }
    }
    std::stable_sort(list.begin(), list.end(), [](const Pending& a, const Pending& b) {
        if (a.event.frame != b.event.frame) return a.event.frame < b.event.frame;
        return a.order < b.order;
    });
    for (const Pending& p : list) options.events.push_back(p.event);
    return true;
}

bool ParseCommandLine(int argc, char** argv, Options& options, std::string& error) {
    const std::string origin = StartDir();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--dir") {
            if (!value(v)) return false;
            options.dir = v;
        } else if (arg == "--script") {
            if (!value(v)) return false;
            options.scriptPath = Resolve(v, origin);
        } else if (arg == "--frames") {
            if (!value(v)) return false;
            if (!ParseCount(v, options.frames)) {
                error = "bad --frames value '" + v + "'";
                return false;
            }
        } else if (arg == "--shot") {
            if (!value(v)) return false;
            if (!ParseShotOption(v, origin, options)) {
                error = "bad --shot value '" + v + "' (expected N:FILE)";
                return false;
            }
        } else if (arg == "--log") {
            if (!value(v)) return false;
            options.logPath = Resolve(v, origin);
        } else if (arg == "--audio") {
            if (!value(v)) return false;
            options.audioPath = Resolve(v, origin);
        } else if (arg == "--format") {
            if (!value(v)) return false;
            if (v == "565") {
                options.format = plat::kFormat565;
            } else if (v == "555") {
                options.format = plat::kFormat555;
            } else {
                error = "bad --format value '" + v + "' (565 or 555)";
                return false;
            }
        } else if (arg == "--no-activate") {
            options.activate = false;
        } else if (arg == "--fail") {
            if (!value(v)) return false;
            if (v == "window") {
                options.failWindow = true;
            } else if (v == "ddraw") {
                options.failDirectDraw = true;
            } else if (v == "dsound") {
                options.failDirectSound = true;
            } else {
                error = "bad --fail value '" + v + "' (window, ddraw or dsound)";
                return false;
            }
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (!options.scriptPath.empty()) {
        std::ifstream in(options.scriptPath, std::ios::binary);
        if (!in) {
            error = "cannot read script '" + options.scriptPath + "'";
            return false;
        }
        std::stringstream text;
        text << in.rdbuf();
        if (!ParseScript(text.str(), origin, options, error)) return false;
    }
    return true;
}

Backend::Backend(Options options) : options_(std::move(options)) {}

int Backend::Run() {
    if (chdir(options_.dir.c_str()) != 0) {
        std::fprintf(stderr, "asphaltix-headless: cannot enter folder '%s'\n",
                     options_.dir.c_str());
        return 2;
    }
    if (!options_.logPath.empty()) {
        log_ = std::fopen(options_.logPath.c_str(), "wb");
        if (log_ == nullptr) {
            std::fprintf(stderr, "asphaltix-headless: cannot write log '%s'\n",
                         options_.logPath.c_str());
            return 2;
        }
    }
    plat::Install(this);
    static char empty[] = "";
    int code = WinMain(reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)), nullptr,
                       empty, SW_SHOWDEFAULT);
    End("exit " + std::to_string(code), code);
}

void Backend::Log(const std::string& line) {
    if (log_ == nullptr) return;
    std::fputs(line.c_str(), log_);
    std::fputc('\n', log_);
}

void Backend::TakeShots(long long frame, bool atEnd) {
    for (Shot& shot : options_.shots) {
        if (shot.taken || (!atEnd && shot.frame != frame)) continue;
        shot.taken = true;
        if (!WriteScreenPng(shot.path)) {
            std::fprintf(stderr, "asphaltix-headless: cannot write picture '%s'\n",
                         shot.path.c_str());
        }
        Log("shot " + std::to_string(shot.frame) + " " + shot.name);
    }
}

void Backend::End(const std::string& last, int status) {
    TakeShots(0, true);
    if (!options_.audioPath.empty() && !WriteWav(options_.audioPath, audio_)) {
        std::fprintf(stderr, "asphaltix-headless: cannot write sound '%s'\n",
                     options_.audioPath.c_str());
    }
    Log(last);
    if (log_ != nullptr) std::fclose(log_);
    log_ = nullptr;
    std::fflush(stdout);
    std::exit(status);
}

void Backend::Deliver(const Event& e) {
    switch (e.kind) {
        case ActionKind::Down: plat::KeyDown(e.key, false, e.alt); break;
        case ActionKind::Up: plat::KeyUp(e.key, e.alt); break;
        case ActionKind::Repeat: plat::KeyDown(e.key, true, e.alt); break;
        case ActionKind::Activate: plat::Activate(true); break;
        case ActionKind::Deactivate: plat::Activate(false); break;
        case ActionKind::Close: plat::RequestClose(); break;
    }
}

bool Backend::CreateWindow(const char*) { return !options_.failWindow; }

void Backend::ScreenSize(int& width, int& height) {
    width = plat::kScreenWidth;
    height = plat::kScreenHeight;
}

bool Backend::ActivateOnShow() { return options_.activate; }

void Backend::DestroyWindow() {}

void Backend::PollInput() {
    while (nextEvent_ < options_.events.size() && options_.events[nextEvent_].frame <= flips_) {
        Deliver(options_.events[nextEvent_++]);
    }
}

void Backend::WaitForInput() {
    if (nextEvent_ >= options_.events.size()) End("stop idle", 0);
    Deliver(options_.events[nextEvent_++]);
}

bool Backend::OpenDisplay() { return !options_.failDirectDraw; }

plat::PixelFormat Backend::DisplayFormat() { return options_.format; }

void Backend::BeforeFlip() {
    TakeShots(flips_, false);
    if (flips_ >= options_.frames) End("stop " + std::to_string(flips_), 0);
}

void Backend::AfterFlip() {
    ++flips_;
    Log("flip " + std::to_string(flips_));
    AdvanceAudio(kAudioFramesPerFlip);
}

void Backend::FrontChanged() {}

void Backend::Sleep(DWORD ms) {
    Log("sleep " + std::to_string(ms));
    AdvanceAudio(static_cast<long long>(ms) * plat::Mixer::kOutputRate / 1000);
}

void Backend::ShowMessageBox(const char* title, const char* text, UINT style) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", style);
    Log(std::string("messagebox ") + hex + " " + title + "|" + text);
}

bool Backend::OpenAudio(plat::Mixer* mixer) {
    if (options_.failDirectSound) return false;
    mixer_ = mixer;
    return true;
}

void Backend::AdvanceAudio(long long frames) {
    if (mixer_ == nullptr || frames <= 0) return;
    std::vector<int16_t> chunk(static_cast<size_t>(frames) * 2);
    mixer_->Render(chunk.data(), static_cast<int>(frames));
    if (!options_.audioPath.empty()) audio_.insert(audio_.end(), chunk.begin(), chunk.end());
}

void Backend::SoundEvent(int buffer, const char* what, DWORD value) {
    std::string line = "sound ";
    line += std::to_string(buffer);
    line += ' ';
    line += what;
    if (std::strcmp(what, "freq") == 0) {
        line += ' ';
        line += std::to_string(value);
    }
    Log(line);
}

void Backend::MciCommand(const char* command, MCIERROR result) {
    Log("mci " + std::to_string(result) + " " + command);
}

}  // namespace headless
