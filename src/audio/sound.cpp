// Sound effects: one DirectSound object and one static buffer per effect, each read from
// a RIFF WAVE file and played once on demand.
#include "sound.h"

#include "../app/app.h"

#include <cstring>

DirectSoundDevice SoundDevice;
LPDIRECTSOUND DirectSoundObject = nullptr;
LPDIRECTSOUNDBUFFER SoundBuffers[kSoundSlots] = {};

LPDIRECTSOUNDBUFFER& MenuSound = SoundBuffers[kMenuSlot];
LPDIRECTSOUNDBUFFER& EngineSound1 = SoundBuffers[kEngineSlot1];
LPDIRECTSOUNDBUFFER& EngineSound2 = SoundBuffers[kEngineSlot2];
LPDIRECTSOUNDBUFFER& EngineSound3 = SoundBuffers[kEngineSlot3];
LPDIRECTSOUNDBUFFER& CrashSound = SoundBuffers[kCrashSlot];
LPDIRECTSOUNDBUFFER& BonusSound = SoundBuffers[kBonusSlot];

bool DirectSoundDevice::Init() {
    if (DirectSoundCreate(nullptr, &DirectSoundObject, nullptr) != DS_OK) return false;
    if (DirectSoundObject->SetCooperativeLevel(MainWindow, DSSCL_NORMAL) != DS_OK) return false;
    return true;
}

void DirectSoundDevice::LoadSound(int32_t slot, const char* fileName) {
    if (slot < 0 || slot >= kSoundSlots || DirectSoundObject == nullptr || fileName == nullptr)
        return;
    char name[260];
    std::strncpy(name, fileName, sizeof name - 1);
    name[sizeof name - 1] = '\0';
    HMMIO file = mmioOpenA(name, nullptr, MMIO_ALLOCBUF | MMIO_READ);
    if (file == nullptr) return;

    MMCKINFO riff;
    std::memset(&riff, 0, sizeof riff);
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    MMCKINFO chunk;
    std::memset(&chunk, 0, sizeof chunk);
    WAVEFORMATEX format;
    std::memset(&format, 0, sizeof format);
    LPDIRECTSOUNDBUFFER buffer = nullptr;
    bool ok = mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) == MMSYSERR_NOERROR;
    if (ok) {
        chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
        ok = mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR;
    }
    // A PCM format chunk holds 16 bytes; the two after it are read as the extra size.
    if (ok) ok = chunk.cksize >= 16 && mmioRead(file, reinterpret_cast<HPSTR>(&format), 18) >= 16;
    if (ok) ok = mmioAscend(file, &chunk, 0) == MMSYSERR_NOERROR;
    if (ok) {
        chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
        ok = mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR;
    }
    if (ok) {
        DSBUFFERDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = sizeof desc;
        desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
        desc.dwBufferBytes = chunk.cksize;
        desc.dwReserved = 0;
        desc.lpwfxFormat = &format;
        ok = DirectSoundObject->CreateSoundBuffer(&desc, &buffer, nullptr) == DS_OK &&
             buffer != nullptr;
    }
    if (ok) {
        void* first = nullptr;
        void* second = nullptr;
        DWORD firstBytes = 0;
        DWORD secondBytes = 0;
        if (buffer->Lock(0, chunk.cksize, &first, &firstBytes, &second, &secondBytes, 0) == DS_OK) {
            // A data chunk shorter than it says leaves the rest of the buffer silent.
            LONG got = first != nullptr ? mmioRead(file, static_cast<HPSTR>(first),
                                                   static_cast<LONG>(firstBytes))
                                        : 0;
            if (got < 0) got = 0;
            if (first != nullptr && static_cast<DWORD>(got) < firstBytes) {
                std::memset(static_cast<char*>(first) + got, format.wBitsPerSample == 8 ? 0x80 : 0,
                            firstBytes - static_cast<DWORD>(got));
            }
            if (second != nullptr && secondBytes > 0) {
                got = mmioRead(file, static_cast<HPSTR>(second), static_cast<LONG>(secondBytes));
                if (got < 0) got = 0;
                if (static_cast<DWORD>(got) < secondBytes) {
                    std::memset(static_cast<char*>(second) + got,
                                format.wBitsPerSample == 8 ? 0x80 : 0,
                                secondBytes - static_cast<DWORD>(got));
                }
            }
            buffer->Unlock(first, firstBytes, second, secondBytes);
        }
        SoundBuffers[slot] = buffer;
    } else if (buffer != nullptr) {
        buffer->Release();
    }
    mmioClose(file, 0);
}

void DirectSoundDevice::Play(LPDIRECTSOUNDBUFFER buffer) {
    if (buffer == nullptr) return;
    DWORD status = 0;
    buffer->GetStatus(&status);
    if (status == DSBSTATUS_PLAYING) return;
    buffer->Play(0, 0, 0);
}

void DirectSoundDevice::Stop(LPDIRECTSOUNDBUFFER buffer) {
    if (buffer == nullptr) return;
    DWORD status = 0;
    buffer->GetStatus(&status);
    if (status == DSBSTATUS_PLAYING) buffer->Stop();
}

void SetSoundFrequency(LPDIRECTSOUNDBUFFER buffer, DWORD frequency) {
    if (buffer != nullptr) buffer->SetFrequency(frequency);
}
