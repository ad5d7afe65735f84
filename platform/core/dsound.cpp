// DirectSound: the device object and static secondary buffers of plain PCM, played by the
// mixer. Every call that reaches a buffer is told to the backend (play, stop, freq).
#include "com.h"
#include "mixer.h"
#include "platform.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace plat {
namespace {

// The live buffers with their creation indices.
std::mutex& LiveMutex() {
    static std::mutex mutex;
    return mutex;
}
std::unordered_map<const IDirectSoundBuffer*, int>& LiveBuffers() {
    static std::unordered_map<const IDirectSoundBuffer*, int> live;
    return live;
}
std::atomic<int> NextBufferIndex{0};

constexpr DWORD kKnownFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY |
                              DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

bool Within(const uint8_t* memory, DWORD size, const void* region, DWORD bytes) {
    if (region == nullptr) return bytes == 0;
    auto begin = reinterpret_cast<uintptr_t>(memory);
    auto at = reinterpret_cast<uintptr_t>(region);
    if (at < begin) return false;
    uint64_t offset = at - begin;
    return offset <= size && static_cast<uint64_t>(bytes) <= size - offset;
}

class SoundBuffer final : public ComObject<IDirectSoundBuffer> {
public:
    SoundBuffer(std::shared_ptr<Voice> voice, DWORD flags, int index)
        : voice_(std::move(voice)), flags_(flags), index_(index) {
        std::lock_guard<std::mutex> lock(LiveMutex());
        LiveBuffers()[this] = index_;
    }
    ~SoundBuffer() override {
        {
            std::lock_guard<std::mutex> lock(LiveMutex());
            LiveBuffers().erase(this);
        }
        TheMixer().RemoveVoice(voice_.get());
    }

    HRESULT GetStatus(LPDWORD status) override {
        if (status == nullptr) return DSERR_INVALIDPARAM;
        bool looping = false;
        bool playing = TheMixer().Playing(*voice_, &looping);
        *status = playing ? (DSBSTATUS_PLAYING | (looping ? DSBSTATUS_LOOPING : 0)) : 0;
        return DS_OK;
    }

    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD bytes1, LPVOID* audio2,
                 LPDWORD bytes2, DWORD flags) override {
        if (audio1 != nullptr) *audio1 = nullptr;
        if (bytes1 != nullptr) *bytes1 = 0;
        if (audio2 != nullptr) *audio2 = nullptr;
        if (bytes2 != nullptr) *bytes2 = 0;
        if (audio1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
        if ((flags & ~static_cast<DWORD>(DSBLOCK_FROMWRITECURSOR | DSBLOCK_ENTIREBUFFER)) != 0) {
            return DSERR_INVALIDPARAM;
        }
        const DWORD size = voice_->Bytes();
        if ((flags & DSBLOCK_FROMWRITECURSOR) != 0) {
            // A static buffer's write cursor sits at its play cursor.
            offset = TheMixer().Position(*voice_) * static_cast<DWORD>(voice_->BlockAlign());
            if (offset >= size) offset = 0;
        }
        if ((flags & DSBLOCK_ENTIREBUFFER) != 0) bytes = size;
        if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
        DWORD first = bytes < size - offset ? bytes : size - offset;
        DWORD second = bytes - first;
        if (second > 0 && (audio2 == nullptr || bytes2 == nullptr)) return DSERR_INVALIDPARAM;
        *audio1 = voice_->Memory() + offset;
        *bytes1 = first;
        if (second > 0) {
            *audio2 = voice_->Memory();
            *bytes2 = second;
        }
        return DS_OK;
    }

    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override {
        Report("play", 0);
        if (reserved != 0 || priority != 0) return DSERR_INVALIDPARAM;
        if ((flags & ~static_cast<DWORD>(DSBPLAY_LOOPING)) != 0) return DSERR_INVALIDPARAM;
        TheMixer().Play(*voice_, (flags & DSBPLAY_LOOPING) != 0);
        return DS_OK;
    }

    HRESULT SetFrequency(DWORD frequency) override {
        Report("freq", frequency);
        if ((flags_ & DSBCAPS_CTRLFREQUENCY) == 0) return DSERR_CONTROLUNAVAIL;
        if (frequency == 0) {
            frequency = voice_->Rate();  // back to the buffer's own rate
        } else if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) {
            return DSERR_INVALIDPARAM;
        }
        TheMixer().SetRate(*voice_, frequency);
        return DS_OK;
    }

    HRESULT Stop() override {
        Report("stop", 0);
        TheMixer().Stop(*voice_);
        return DS_OK;
    }

    HRESULT Unlock(LPVOID audio1, DWORD bytes1, LPVOID audio2, DWORD bytes2) override {
        const uint8_t* memory = voice_->Memory();
        if (!Within(memory, voice_->Bytes(), audio1, bytes1) ||
            !Within(memory, voice_->Bytes(), audio2, bytes2)) {
            return DSERR_INVALIDPARAM;
        }
        return DS_OK;
    }

private:
    void Report(const char* what, DWORD value) { Current().SoundEvent(index_, what, value); }

    std::shared_ptr<Voice> voice_;
    const DWORD flags_;
    const int index_;
};

HRESULT CheckFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    if (f.nChannels != 1 && f.nChannels != 2) return DSERR_BADFORMAT;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return DSERR_BADFORMAT;
    if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return DSERR_BADFORMAT;
    if (f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX) {
        return DSERR_BADFORMAT;
    }
    return DS_OK;
}

class DirectSound final : public ComObject<IDirectSound> {
public:
    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER buffer,
                              IUnknown* outer) override {
        if (buffer != nullptr) *buffer = nullptr;
        if (desc == nullptr || buffer == nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
        if (!levelSet_) return DSERR_UNINITIALIZED;
        if (desc->dwSize != sizeof(DSBUFFERDESC) || desc->dwReserved != 0)
            return DSERR_INVALIDPARAM;
        if ((desc->dwFlags & ~kKnownFlags) != 0) return DSERR_INVALIDPARAM;
        if ((desc->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0) {
            // The primary buffer takes neither a size nor a format; we offer none anyway.
            if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
            return DSERR_UNSUPPORTED;
        }
        if (desc->lpwfxFormat == nullptr) return DSERR_INVALIDPARAM;
        WAVEFORMATEX format;
        std::memcpy(&format, desc->lpwfxFormat, sizeof format);
        HRESULT hr = CheckFormat(format);
        if (hr != DS_OK) return hr;
        if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) {
            return DSERR_INVALIDPARAM;
        }
        auto voice = TheMixer().AddVoice(desc->dwBufferBytes, format.nChannels,
                                         format.wBitsPerSample, format.nSamplesPerSec);
        if (voice == nullptr) return DSERR_OUTOFMEMORY;
        *buffer = new SoundBuffer(std::move(voice), desc->dwFlags, NextBufferIndex++);
        return DS_OK;
    }
    HRESULT SetCooperativeLevel(HWND hwnd, DWORD level) override {
        if (hwnd == nullptr || level < 1 || level > 4) return DSERR_INVALIDPARAM;
        levelSet_ = true;
        return DS_OK;
    }

private:
    bool levelSet_ = false;
};

}  // namespace

int SoundBufferIndex(const IDirectSoundBuffer* buffer) {
    std::lock_guard<std::mutex> lock(LiveMutex());
    auto it = LiveBuffers().find(buffer);
    return it != LiveBuffers().end() ? it->second : -1;
}

}  // namespace plat

HRESULT WINAPI DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* out, LPUNKNOWN outer) {
    if (out == nullptr) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (device != nullptr) return DSERR_NODRIVER;
    if (!plat::Current().OpenAudio(&plat::TheMixer())) return DSERR_NODRIVER;
    *out = new plat::DirectSound();
    return DS_OK;
}
