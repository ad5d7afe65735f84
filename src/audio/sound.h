// The sound device: DirectSound, the effect buffers, and the music commands.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstdint>

constexpr int32_t kSoundSlots = 10;

// The slots the game fills; the rest stay empty.
enum SoundSlot : int32_t {
    kMenuSlot = 0,
    kEngineSlot1,
    kEngineSlot2,
    kEngineSlot3,
    kCrashSlot,
    kBonusSlot,
};

class DirectSoundDevice {
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

extern DirectSoundDevice SoundDevice;
extern LPDIRECTSOUND DirectSoundObject;
extern LPDIRECTSOUNDBUFFER SoundBuffers[kSoundSlots];

// The slots by name.
extern LPDIRECTSOUNDBUFFER& MenuSound;
extern LPDIRECTSOUNDBUFFER& EngineSound1;
extern LPDIRECTSOUNDBUFFER& EngineSound2;
extern LPDIRECTSOUNDBUFFER& EngineSound3;
extern LPDIRECTSOUNDBUFFER& CrashSound;
extern LPDIRECTSOUNDBUFFER& BonusSound;

// Sets a buffer's frequency; an empty slot is passed over.
void SetSoundFrequency(LPDIRECTSOUNDBUFFER buffer, DWORD frequency);
