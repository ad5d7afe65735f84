// The sound device: DirectSound, the effect buffers, and the music commands.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstdint>

constexpr int32_t SoundSlots = 10;

class SoundDevice {
public:
    bool Init();
    void LoadSound(int32_t slot, const char* fileName);
    void Play(LPDIRECTSOUNDBUFFER buffer);
    void Stop(LPDIRECTSOUNDBUFFER buffer);

    bool OpenMusic(const char* fileName);
    bool StopMusic();
    bool ResumeMusic();
    bool CloseMusic();
    bool RestartMusic();
};

extern SoundDevice SoundDevice;
extern LPDIRECTSOUND DirectSoundObject;
extern LPDIRECTSOUNDBUFFER SoundBuffers[SoundSlots];

// The slots by name.
extern LPDIRECTSOUNDBUFFER& MenuSound;
extern LPDIRECTSOUNDBUFFER& EngineSound1;
extern LPDIRECTSOUNDBUFFER& EngineSound2;
extern LPDIRECTSOUNDBUFFER& EngineSound3;
extern LPDIRECTSOUNDBUFFER& CrashSound;
extern LPDIRECTSOUNDBUFFER& BonusSound;

// Sets a buffer's frequency; an empty slot is passed over.
void SetSoundFrequency(LPDIRECTSOUNDBUFFER buffer, DWORD frequency);
