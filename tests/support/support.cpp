#include "support.h"

#include "../../src/app/app.h"
#include "../../src/display/display.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#ifndef ASPHALTIX_HEADLESS
#error "ASPHALTIX_HEADLESS must name the headless runner"
#endif
#ifndef ASPHALTIX_GAME_DIR
#error "ASPHALTIX_GAME_DIR must name the game's data folder"
#endif

namespace testing_support {

void TestBackend::PollInput() {
    if (pending.empty()) return;
    auto next = pending.front();
    pending.erase(pending.begin());
    next();
}

void TestBackend::WaitForInput() {
    if (pending.empty()) {
        ADD_FAILURE() << "the game waits for input and none is left";
        plat::RequestClose();
        return;
    }
    PollInput();
}

void TestBackend::ShowMessageBox(const char* title, const char* text, UINT style) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", style);
    log.push_back(std::string("messagebox ") + hex + " " + title + "|" + text);
}

void TestBackend::SoundEvent(int buffer, const char* what, DWORD value) {
    std::string line = "sound ";
    line += std::to_string(buffer);
    line += ' ';
    line += what;
    if (std::strcmp(what, "freq") == 0) {
        line += ' ';
        line += std::to_string(value);
    }
    log.push_back(line);
}

void TestBackend::MciCommand(const char* command, MCIERROR result) {
    log.push_back("mci " + std::to_string(result) + " " + command);
}

void TestBackend::Reset() {
    failWindow = failDisplay = failAudio = false;
    activateOnShow = true;
    format = plat::kFormat565;
    log.clear();
    flips = 0;
    frontChanges = 0;
    pending.clear();
}

std::vector<std::string> TestBackend::Lines(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& line : log) {
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    }
    return out;
}

TestBackend& Backend() {
    static TestBackend backend;
    static bool installed = [] {
        plat::Install(&backend);
        return true;
    }();
    (void)installed;
    return backend;
}

HWND GameWindow() {
    Backend();
    if (MainWindow == nullptr) {
        EXPECT_TRUE(CreateMainWindow(nullptr, SW_SHOWDEFAULT));
    }
    return MainWindow;
}

void DisplayUp(plat::PixelFormat format) {
    DisplayDown();
    Backend().format = format;
    ASSERT_NE(GameWindow(), nullptr);
    ASSERT_TRUE(DisplayDevice.Init(MainWindow));
    delete[] DisplayDevice.tableBlock;
    DisplayDevice.tableBlock = nullptr;
    ASSERT_TRUE(DisplayDevice.BuildColourTables(BackSurface));
}

void DisplayDown() {
    Backend();
    DisplayDevice.Release();
}

uint16_t SurfacePixel(IDirectDrawSurface* surface, int x, int y) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) {
        ADD_FAILURE() << "cannot lock the surface";
        return 0;
    }
    uint16_t value = 0;
    std::memcpy(&value, static_cast<uint8_t*>(desc.lpSurface) + y * desc.lPitch + 2 * x, 2);
    EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
    return value;
}

void FillSurface(IDirectDrawSurface* surface, uint16_t value) {
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof fx);
    fx.dwSize = sizeof fx;
    fx.dwFillColor = value;
    EXPECT_EQ(surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
}

IDirectDrawSurface* MakeSurface(int width, int height) {
    DDSURFACEDESC desc;
    std::memset(&desc, 0, sizeof desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    IDirectDrawSurface* surface = nullptr;
    EXPECT_NE(DirectDrawObject, nullptr);
    if (DirectDrawObject == nullptr) return nullptr;
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &surface, nullptr), DD_OK);
    return surface;
}

std::string GameDir() { return ASPHALTIX_GAME_DIR; }

std::string TempDir(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    std::string root = std::string(base != nullptr ? base : "/tmp") + "/asphaltix-tests-" +
                       std::to_string(getpid());
    std::string dir = root + "/" + name;
    std::string command = "rm -rf '" + dir + "' && mkdir -p '" + dir + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return dir;
}

HeadlessRun RunHeadless(const std::vector<std::string>& args, const std::string& script,
                        const std::string& dir) {
    static int counter = 0;
    std::string work = TempDir("run" + std::to_string(++counter));
    std::string logPath = work + "/run.log";
    std::string errPath = work + "/stderr.txt";
    std::vector<std::string> argv = {ASPHALTIX_HEADLESS, "--dir", dir.empty() ? GameDir() : dir,
                                     "--log", logPath};
    if (!script.empty()) {
        std::string scriptPath = work + "/script.txt";
        std::ofstream(scriptPath) << script;
        argv.push_back("--script");
        argv.push_back(scriptPath);
    }
    argv.insert(argv.end(), args.begin(), args.end());
    HeadlessRun run;
    pid_t pid = fork();
    if (pid == 0) {
        std::FILE* err = std::freopen(errPath.c_str(), "w", stderr);
        (void)err;
        std::vector<char*> raw;
        for (auto& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream log(logPath);
    for (std::string line; std::getline(log, line);) run.log.push_back(line);
    std::ifstream err(errPath);
    std::stringstream text;
    text << err.rdbuf();
    run.stderrText = text.str();
    return run;
}

uint32_t Picture::At(int x, int y) const {
    size_t i = (static_cast<size_t>(y) * width + x) * 3;
    return (uint32_t{rgb[i]} << 16) | (uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
}

Picture ReadPng(const std::string& path) {
    Picture picture;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        ADD_FAILURE() << "cannot read " << path;
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) == 0) {
        ADD_FAILURE() << "cannot decode " << path;
    }
    return picture;
}

uint32_t Shown565(int r, int g, int b) {
    auto widen = [](int value, int bits) {
        uint32_t v = static_cast<uint32_t>(value) * ((1u << bits) - 1) / 255;  // the game's tables
        return bits == 5 ? (v << 3) | (v >> 2) : (v << 2) | (v >> 4);           // the picture's
    };
    return (widen(r, 5) << 16) | (widen(g, 6) << 8) | widen(b, 5);
}

}  // namespace testing_support
