#include "support.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

void TestBackend::PollInput() {
    if (pending.empty()) return;
    auto next = pending.front();
    pending.erase(pending.begin());
    next();
}

void TestBackend::WaitForInput() {
    if (!pending.empty()) return PollInput();
    ADD_FAILURE() << "the game waits for input and none is left";
    plat::RequestClose();
}

void TestBackend::ShowMessageBox(const char* title, const char* text, UINT style) {
    char line[512];
    std::snprintf(line, sizeof line, "messagebox 0x%x %s|%s", style, title, text);
    log.push_back(line);
}

void TestBackend::SoundEvent(int buffer, const char* what, DWORD value) {
    log.push_back("sound " + std::to_string(buffer) + ' ' + what);
    if (std::strcmp(what, "freq") == 0) log.back() += ' ' + std::to_string(value);
}

void TestBackend::MciCommand(const char* command, MCIERROR result) {
    log.push_back("mci " + std::to_string(result) + " " + command);
}

void TestBackend::Reset() {
    failDisplay = failAudio = false, format = plat::kFormat565, flips = 0;
    log.clear();
    pending.clear();
}

TestBackend& Backend() {
    static TestBackend backend;
    [[maybe_unused]] static const bool installed = (plat::Install(&backend), true);
    return backend;
}

HWND GameWindow() {
    Backend();
    if (MainWindow == nullptr) CreateMainWindow(nullptr, SW_SHOWDEFAULT);
    return MainWindow;
}

void DisplayUp(plat::PixelFormat format) {
    DisplayDown();
    Backend().format = format;
    ASSERT_NE(GameWindow(), nullptr);
    ASSERT_TRUE(DisplayDevice.Init(MainWindow));
    DisplayDevice.tableBlock.reset();
    ASSERT_TRUE(DisplayDevice.BuildColourTables(BackSurface));
}

void DisplayDown() {
    Backend();
    DisplayDevice.Release();
}

void EachPixel(IDirectDrawSurface* surface, int width, int height,
               const std::function<void(int, int, uint16_t&)>& visit) {
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>();
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK) << "cannot lock";
    for (int i = 0; i < width * height; ++i) {
        auto* row = static_cast<uint8_t*>(desc.lpSurface) + i / width * desc.lPitch;
        visit(i % width, i / width, reinterpret_cast<uint16_t*>(row)[i % width]);
    }
    EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
}

Pixels SurfacePixels(IDirectDrawSurface* surface, int width, int height) {
    Pixels out;
    EachPixel(surface, width, height, [&out](int, int, uint16_t& pixel) { out.push_back(pixel); });
    return out;
}

uint16_t SurfacePixel(IDirectDrawSurface* surface, int x, int y) {
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>();
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
    DDBLTFX fx = Sized<DDBLTFX>();
    fx.dwFillColor = value;
    EXPECT_EQ(surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
}

IDirectDrawSurface* MakeSurface(int width, int height,
                                const std::function<uint16_t(int, int)>& pixel) {
    DDSURFACEDESC desc = Sized<DDSURFACEDESC>();
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = DWORD(width), desc.dwHeight = DWORD(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    IDirectDrawSurface* surface = nullptr;
    EXPECT_EQ(DirectDrawObject->CreateSurface(&desc, &surface, nullptr), DD_OK);
    if (surface != nullptr && pixel)
        EachPixel(surface, width, height, [&](int x, int y, uint16_t& p) { p = pixel(x, y); });
    return surface;
}

uint16_t Pack565(int r, int g, int b) {
    return uint16_t(((r * 31 / 255) << 11) | ((g * 63 / 255) << 5) | (b * 31 / 255));
}

int32_t Draw(uint32_t& state, int32_t n) {
    state = state * 214013u + 2531011u;
    return int32_t((state >> 16) & 0x7FFF) % n;
}

uint32_t StateFor(const std::vector<Want>& draws) {
    for (uint32_t state = 0x2468ACE1u, k = 0; k < 2000000; ++k, Draw(state, 1)) {
        uint32_t probe = state;
        bool fits = true;
        for (const Want& d : draws) fits = fits && d.fits(Draw(probe, d.n));
        if (fits) return state;
    }
    ADD_FAILURE() << "no generator state gives the wanted draws";
    return 1;
}

uint32_t After(uint32_t state, size_t count) {
    for (size_t k = 0; k < count; ++k) Draw(state, 1);
    return state;
}

std::vector<int16_t> MixLeft(int frames) {
    std::vector<int16_t> out(size_t(frames) * 2, 0x5555), left;
    plat::TheMixer().Render(out.data(), frames);
    for (size_t i = 0; i < out.size(); i += 2) {
        EXPECT_EQ(out[i + 1], out[i]) << "frame " << i / 2;
        left.push_back(out[i]);
    }
    return left;
}

DWORD SoundStatus(IDirectSoundBuffer* buffer) {
    DWORD status = 0xDEAD;
    EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
    return status;
}

HRESULT FakeSurface::Lock(LPRECT, LPDDSURFACEDESC desc, DWORD, HANDLE) {
    if (memory == nullptr) return DDERR_SURFACEBUSY;
    desc->lpSurface = memory, desc->lPitch = 4, desc->dwWidth = desc->dwHeight = 1;
    desc->ddpfPixelFormat.dwRGBBitCount = bits;
    return DD_OK;
}

void GameTest::SetUp() {
    DisplayUp();
    Swap();
    Backend().Reset();
    RandomState = 1;
}

void GameTest::TearDown() {
    for (GfxImage* image : {&RoadImage, &CarsImage, &BackImage, &StatusImage})
        if (*image != nullptr) std::exchange(*image, nullptr)->Release();
    for (IDirectSoundBuffer*& buffer : SoundBuffers)
        if (buffer != nullptr) std::exchange(buffer, nullptr)->Release();
    Swap();
}

void GameTest::Swap() {
    GfxImage* pictures[4] = {&RoadImage, &CarsImage, &BackImage, &StatusImage};
    for (int i = 0; i < 4; ++i) *pictures[i] = std::exchange(pictures_[i], *pictures[i]);
    for (int i = 0; i < kSoundSlots; ++i)
        SoundBuffers[i] = std::exchange(sounds_[i], SoundBuffers[i]);
    plat::ReleaseAllKeys();
    Pump();
    RaceState = {};
    ScreenState = CurtainPos = 0;
    MenuSelection = kNewGame;
    AppActive = 1;
}

void GameTest::Pump(bool dispatch) {
    for (MSG m; PeekMessageA(&m, nullptr, 0, 0, dispatch ? PM_NOREMOVE : PM_REMOVE);) {
        if (!dispatch) continue;
        if (!GetMessageA(&m, nullptr, 0, 0)) break;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string GameDir() { return ASPHALTIX_GAME_DIR; }

std::string TempDir(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    std::string dir = std::string(base != nullptr ? base : "/tmp") + "/asphaltix-tests-" +
                      std::to_string(getpid()) + "/" + name;
    EXPECT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
    return dir;
}

HeadlessRun RunHeadless(const std::vector<std::string>& args, const std::string& script,
                        const std::string& dir) {
    static int counter = 0;
    const std::string work = TempDir("run" + std::to_string(++counter));
    std::vector<std::string> argv = {ASPHALTIX_HEADLESS, "--dir", dir.empty() ? GameDir() : dir,
                                     "--log", work + "/run.log"};
    if (!script.empty()) {
        std::ofstream(work + "/script.txt") << script;
        argv.insert(argv.end(), {"--script", work + "/script.txt"});
    }
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = fork();
    if (pid == 0) {
        if (std::freopen((work + "/stderr.txt").c_str(), "w", stderr) == nullptr) _exit(126);
        std::vector<char*> raw;
        for (auto& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    HeadlessRun run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream log(work + "/run.log");
    for (std::string line; std::getline(log, line);) run.log.push_back(line);
    run.stderrText = ReadFile(work + "/stderr.txt");
    return run;
}

uint32_t Picture::At(int x, int y) const {
    size_t i = (size_t(y) * width + x) * 3;
    return (uint32_t{rgb[i]} << 16) | (uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
}

Picture ReadPng(const std::string& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        ADD_FAILURE() << "cannot read " << path;
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    picture.width = int(image.width), picture.height = int(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) == 0)
        ADD_FAILURE() << "cannot decode";
    return picture;
}

uint32_t Shown565(int r, int g, int b) {
    auto widen = [](int value, int bits) {
        uint32_t v = uint32_t(value) * ((1u << bits) - 1) / 255;       // the game's tables
        return bits == 5 ? (v << 3) | (v >> 2) : (v << 2) | (v >> 4);  // the picture's
    };
    return (widen(r, 5) << 16) | (widen(g, 6) << 8) | widen(b, 5);
}

}  // namespace testing_support
