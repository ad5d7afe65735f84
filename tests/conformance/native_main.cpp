// The conformance program on our own platform layer: a backend of its own, then the tests.
#include "../../platform/core/mixer.h"
#include "../../platform/core/platform.h"
#include "conformance.h"

#include <vector>

namespace {

// No screen, keyboard or sound device: keys come from SendInput. Time is virtual, as in the
// headless runner: a Sleep of ms milliseconds plays ms milliseconds of sound, so a sound runs
// out while the test sleeps.
class ConformanceBackend final : public plat::Backend {
public:
    // Nothing will arrive from outside: a quit message ends whatever waits for a message.
    void WaitForInput() override { PostQuitMessage(0); }

    bool OpenAudio(plat::Mixer* mixer) override {
        mixer_ = mixer;
        return true;
    }

    void Sleep(DWORD ms) override {
        if (mixer_ == nullptr || ms == 0) return;
        std::vector<int16_t> scratch(static_cast<size_t>(ms) * plat::Mixer::kOutputRate / 1000 * 2);
        mixer_->Render(scratch.data(), static_cast<int>(scratch.size() / 2));
    }

private:
    plat::Mixer* mixer_ = nullptr;
};

}  // namespace

namespace conformance {

bool UnderWine() { return false; }

}  // namespace conformance

int main(int argc, char** argv) {
    static ConformanceBackend backend;
    plat::Install(&backend);
    return conformance::Run(argc, argv);
}
