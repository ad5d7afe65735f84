// The software mixer behind DirectSound: every sounding buffer is resampled from its own
// frequency and summed into one 48 kHz stereo 16-bit stream.
//
// Threading: Render may run on the audio thread while the game thread starts, stops and
// re-pitches voices. The game thread only ever waits for a copy of a few variables: Render
// copies the state of the sounding voices under the lock, mixes outside it and writes the
// positions back only for voices that were not started or stopped meanwhile.
#pragma once

#include <dsound.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace plat {

// One buffer's samples and play state. The sample memory is fixed at creation; the play
// state belongs to the mixer and is reached only through the mixer's operations.
class Voice {
public:
    // `bytes` of sample memory, filled with silence; frames = bytes / blockAlign (a trailing
    // part of a frame is never played). Null memory when it cannot be had.
    Voice(uint32_t bytes, int channels, int bits, uint32_t rate);

    uint8_t* Memory() { return memory_.get(); }
    const uint8_t* Memory() const { return memory_.get(); }
    uint32_t Bytes() const { return bytes_; }
    uint32_t Frames() const { return frames_; }
    int Channels() const { return channels_; }
    int Bits() const { return bits_; }
    int BlockAlign() const { return channels_ * bits_ / 8; }
    uint32_t Rate() const { return rate_; }

private:
    friend class Mixer;

    const std::unique_ptr<uint8_t[]> memory_;
    const uint32_t bytes_;
    const uint32_t frames_;
    const int channels_;
    const int bits_;
    const uint32_t rate_;

    // Guarded by the mixer's lock.
    bool playing_ = false;
    bool looping_ = false;
    uint64_t position_ = 0;    // frames, 32.32 fixed point
    uint32_t frequency_ = 0;   // Hz
    uint64_t step_ = 0;        // frames per output frame, 32.32 fixed point
    uint32_t generation_ = 0;  // counts starts and stops
};

class Mixer {
public:
    static constexpr int kOutputRate = 48000;

    // Renders `frames` stereo frames (interleaved left, right) into `out`.
    void Render(int16_t* out, int frames);

    // Makes a voice of the given format and joins it to the mix (silent until played).
    // Null when its memory cannot be had.
    std::shared_ptr<Voice> AddVoice(uint32_t bytes, int channels, int bits, uint32_t rate);
    // Leaves the mix; memory still in use by a render in progress stays alive until it ends.
    void RemoveVoice(const Voice* voice);

    // Starts a voice from its position unless it sounds already (then only the looping
    // flag changes). A voice that has played to its end starts again from its beginning.
    void Play(Voice& voice, bool looping);
    // Silences a voice and keeps its position.
    void Stop(Voice& voice);
    // The voice's playback rate in Hz, taking effect from the next rendered period.
    void SetRate(Voice& voice, uint32_t hz);
    uint32_t Rate(const Voice& voice);
    // Whether the voice sounds: true until the mixer has consumed its last sample.
    bool Playing(const Voice& voice, bool* looping = nullptr);
    // The play position in whole frames.
    uint32_t Position(const Voice& voice);

    // Silences every voice (all back at their beginnings).
    void StopAll();
    // Mutes the output; the voices play on unheard, as they would aloud.
    void SetMuted(bool muted) { muted_ = muted; }
    // Number of voices in the mix, sounding or not.
    int Voices();

private:
    struct Snapshot {
        std::shared_ptr<Voice> voice;
        uint64_t position;
        uint64_t step;
        uint32_t generation;
        bool looping;
        bool ended;
    };
    void RenderPeriod(int16_t* out, int frames);

    std::mutex mutex_;  // the voice list and every voice's play state
    std::vector<std::shared_ptr<Voice>> voices_;

    std::atomic<bool> muted_{false};
    std::mutex renderMutex_;  // one render at a time; guards the scratch space
    std::vector<Snapshot> sounding_;
    std::vector<int32_t> accumulator_;
};

Mixer& TheMixer();

// The creation index (from 0) of a live DirectSound buffer, -1 for anything else.
int SoundBufferIndex(const IDirectSoundBuffer* buffer);

}  // namespace plat
