// The software mixer: linear interpolation from each voice's own rate to 48 kHz, mono to
// both sides, summed in 32 bits and clamped once.
#include "mixer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PLAT_MIX_AVX2 1
#endif

namespace plat {
namespace {

// Longest stretch mixed from one copy of the voice states.
constexpr int kPeriodFrames = 1024;

uint64_t StepFor(uint32_t hz) {
    return (static_cast<uint64_t>(hz) << 32) / static_cast<uint64_t>(Mixer::kOutputRate);
}

struct Pcm8 {
    static constexpr int kBytes = 1;
    static int32_t At(const uint8_t* frame, size_t channel) {
        return (static_cast<int32_t>(frame[channel]) - 128) * 256;
    }
};
struct Pcm16 {
    static constexpr int kBytes = 2;
    static int32_t At(const uint8_t* frame, size_t channel) {
        int16_t v;
        std::memcpy(&v, frame + 2 * channel, 2);
        return v;
    }
};

#ifdef PLAT_MIX_AVX2
// Eight frames of a 16-bit mono voice at a time, for processors with AVX2: each frame's two
// samples come in one gathered 32-bit load, and the blend by the 16-bit fraction is done as two
// 8-bit steps so that it stays exact in 32 bits: (d * f) >> 16 == (d * (f >> 8) + ((d * (f &
// 255)) >> 8)) >> 8. Mixes the largest multiple of eight frames of `run` and returns it; every
// frame mixed must stand before the voice's last one.
__attribute__((target("avx2"))) int MixMono16Wide(const uint8_t* memory, uint64_t& pos,
                                                  uint64_t step, int32_t* out, int run) {
    // Positions of frames 0, 2, 4, 6 and of 1, 3, 5, 7: the high half of an odd one and the low
    // half of an even one then sit in order in eight 32-bit lanes.
    const auto at = [&](uint64_t k) {
        const uint64_t p = pos + k * step;
        return static_cast<long long>(p);
    };
    __m256i even = _mm256_setr_epi64x(at(0), at(2), at(4), at(6));
    __m256i odd = _mm256_setr_epi64x(at(1), at(3), at(5), at(7));
    const uint64_t stride = 8 * step;
    const __m256i advance = _mm256_set1_epi64x(static_cast<long long>(stride));
    const __m256i low16 = _mm256_set1_epi32(0xFFFF);
    const __m256i low8 = _mm256_set1_epi32(0xFF);
    const auto* words = reinterpret_cast<const int*>(memory);
    int i = 0;
    for (; i + 8 <= run; i += 8) {
        const __m256i index = _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA);
        const __m256i frac = _mm256_and_si256(
            _mm256_blend_epi32(_mm256_srli_epi64(even, 16), _mm256_slli_epi64(odd, 16), 0xAA),
            low16);
        const __m256i pair = _mm256_i32gather_epi32(words, index, 2);
        const __m256i a = _mm256_srai_epi32(_mm256_slli_epi32(pair, 16), 16);
        const __m256i d = _mm256_sub_epi32(_mm256_srai_epi32(pair, 16), a);
        const __m256i fine =
            _mm256_srai_epi32(_mm256_mullo_epi32(d, _mm256_and_si256(frac, low8)), 8);
        const __m256i coarse = _mm256_mullo_epi32(d, _mm256_srli_epi32(frac, 8));
        const __m256i value =
            _mm256_add_epi32(a, _mm256_srai_epi32(_mm256_add_epi32(coarse, fine), 8));
        auto* sum = reinterpret_cast<__m256i*>(out + i);
        _mm256_storeu_si256(sum, _mm256_add_epi32(_mm256_loadu_si256(sum), value));
        even = _mm256_add_epi64(even, advance);
        odd = _mm256_add_epi64(odd, advance);
    }
    pos += static_cast<uint64_t>(i) * step;
    return i;
}

bool WideMix() {
    static const bool wide = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
    return wide;
}
#endif

// One frame of a voice at `pos`, interpolated linearly between the frame it stands on and the
// next (`next` null past a one-shot voice's end: silence), added to acc[0] (and acc[1] for a
// stereo voice).
template <class Sample, int Channels>
inline void MixFrame(const uint8_t* here, const uint8_t* next, uint64_t pos, int32_t* acc) {
    const int64_t frac = static_cast<int64_t>((pos >> 16) & 0xFFFF);
    const int32_t a = Sample::At(here, 0);
    const int32_t b = next != nullptr ? Sample::At(next, 0) : 0;
    acc[0] += a + static_cast<int32_t>(((static_cast<int64_t>(b) - a) * frac) >> 16);
    if constexpr (Channels == 2) {
        const int32_t c = Sample::At(here, 1);
        const int32_t d = next != nullptr ? Sample::At(next, 1) : 0;
        acc[1] += c + static_cast<int32_t>(((static_cast<int64_t>(d) - c) * frac) >> 16);
    }
}

// Mixes one voice into `acc` from `position` on, Channels values a frame (a mono voice into the
// mono sum, a stereo one into the stereo sum); returns with the position after the last frame
// mixed and `ended` set when a one-shot voice has used up its last sample.
template <class Sample, int Channels>
void MixVoice(const Voice& voice, uint64_t& position, uint64_t step, bool looping, bool& ended,
              int32_t* acc, int frames) {
    const uint8_t* memory = voice.Memory();
    const uint64_t count = voice.Frames();
    const uint64_t length = count << 32;
    constexpr size_t kBlock = size_t{Channels} * Sample::kBytes;
    ended = false;
    if (memory == nullptr || count == 0) {
        ended = !looping;
        return;
    }
    uint64_t pos = position;
    int k = 0;
    while (k < frames) {
        if (pos >= length) {
            if (!looping) {
                ended = true;
                break;
            }
            pos %= length;
        }
        // The frames up to the voice's last one need no test of its end: mix them in one run.
        const uint64_t last = (count - 1) << 32;
        if (pos < last && step > 0) {
            const uint64_t room = (last - pos + step - 1) / step;
            const int run =
                static_cast<int>(std::min<uint64_t>(room, static_cast<uint64_t>(frames - k)));
            int32_t* out = acc + ptrdiff_t{Channels} * k;
            int i = 0;
#ifdef PLAT_MIX_AVX2
            if constexpr (std::is_same_v<Sample, Pcm16> && Channels == 1) {
                if (WideMix()) i = MixMono16Wide(memory, pos, step, out, run);
                out += i;
            }
#endif
            for (; i < run; ++i, out += Channels) {
                const uint8_t* here = memory + (pos >> 32) * kBlock;
                const int64_t frac = static_cast<int64_t>((pos >> 16) & 0xFFFF);
                const int32_t a = Sample::At(here, 0);
                const int32_t b = Sample::At(here + kBlock, 0);
                out[0] += a + static_cast<int32_t>(((static_cast<int64_t>(b) - a) * frac) >> 16);
                if constexpr (Channels == 2) {
                    const int32_t c = Sample::At(here, 1);
                    const int32_t d = Sample::At(here + kBlock, 1);
                    out[1] +=
                        c + static_cast<int32_t>(((static_cast<int64_t>(d) - c) * frac) >> 16);
                }
                pos += step;
            }
            k += run;
            continue;
        }
        // The last frame: it blends towards the first where the voice loops, into silence
        // where it ends.
        const uint8_t* here = memory + (pos >> 32) * kBlock;
        MixFrame<Sample, Channels>(here, looping ? memory : nullptr, pos,
                                   acc + ptrdiff_t{Channels} * k);
        pos += step;
        ++k;
    }
    if (pos >= length) {
        if (looping) {
            pos %= length;
        } else {
            ended = true;
        }
    }
    position = pos;
}

}  // namespace

Voice::Voice(uint32_t bytes, int channels, int bits, uint32_t rate)
    : memory_(new (std::nothrow) uint8_t[bytes > 0 ? bytes : 1]),
      bytes_(bytes),
      frames_(channels > 0 && bits > 0 ? bytes / static_cast<uint32_t>(channels * bits / 8) : 0),
      channels_(channels),
      bits_(bits),
      rate_(rate) {
    if (memory_ != nullptr) std::memset(memory_.get(), bits == 8 ? 0x80 : 0, bytes);
    frequency_ = rate;
    step_ = StepFor(rate);
}

std::shared_ptr<Voice> Mixer::AddVoice(uint32_t bytes, int channels, int bits, uint32_t rate) {
    if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16)) return nullptr;
    auto voice = std::shared_ptr<Voice>(new (std::nothrow) Voice(bytes, channels, bits, rate));
    if (voice == nullptr || voice->Memory() == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    voices_.push_back(voice);
    return voice;
}

void Mixer::RemoveVoice(const Voice* voice) {
    std::lock_guard<std::mutex> lock(mutex_);
    voices_.erase(
        std::remove_if(voices_.begin(), voices_.end(),
                       [voice](const std::shared_ptr<Voice>& v) { return v.get() == voice; }),
        voices_.end());
}

void Mixer::Play(Voice& voice, bool looping) {
    std::lock_guard<std::mutex> lock(mutex_);
    voice.looping_ = looping;
    if (voice.playing_) return;
    if ((voice.position_ >> 32) >= voice.frames_) voice.position_ = 0;
    voice.playing_ = true;
    ++voice.generation_;
}

void Mixer::Stop(Voice& voice) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!voice.playing_) return;
    voice.playing_ = false;
    ++voice.generation_;
}

void Mixer::SetRate(Voice& voice, uint32_t hz) {
    std::lock_guard<std::mutex> lock(mutex_);
    voice.frequency_ = hz;
    voice.step_ = StepFor(hz);
}

uint32_t Mixer::Rate(const Voice& voice) {
    std::lock_guard<std::mutex> lock(mutex_);
    return voice.frequency_;
}

bool Mixer::Playing(const Voice& voice, bool* looping) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (looping != nullptr) *looping = voice.playing_ && voice.looping_;
    return voice.playing_;
}

uint32_t Mixer::Position(const Voice& voice) {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<uint32_t>(voice.position_ >> 32);
}

void Mixer::StopAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& v : voices_) {
        if (v->playing_) ++v->generation_;
        v->playing_ = false;
        v->position_ = 0;
    }
}

int Mixer::Voices() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(voices_.size());
}

void Mixer::Render(int16_t* out, int frames) {
    if (out == nullptr || frames <= 0) return;
    std::lock_guard<std::mutex> render(renderMutex_);
    while (frames > 0) {
        int n = std::min(frames, kPeriodFrames);
        RenderPeriod(out, n);
        out += ptrdiff_t{2} * n;
        frames -= n;
    }
}

void Mixer::RenderPeriod(int16_t* out, int frames) {
    sounding_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& v : voices_) {
            if (v->playing_) {
                sounding_.push_back(
                    Snapshot{v, v->position_, v->step_, v->generation_, v->looping_, false});
            }
        }
    }

    // Mono voices are summed once a frame and go to both sides at the end; the stereo sum is
    // kept only while a stereo voice sounds (the game's own sounds are all mono).
    const bool anyStereo = std::any_of(sounding_.begin(), sounding_.end(),
                                       [](const Snapshot& s) { return s.voice->Channels() == 2; });
    accumulator_.assign(static_cast<size_t>(frames) * (anyStereo ? 3 : 1), 0);
    int32_t* mono = accumulator_.data();
    int32_t* stereo = anyStereo ? mono + frames : nullptr;
    for (Snapshot& s : sounding_) {
        const Voice& v = *s.voice;
        if (v.Bits() == 8) {
            if (v.Channels() == 1) {
                MixVoice<Pcm8, 1>(v, s.position, s.step, s.looping, s.ended, mono, frames);
            } else {
                MixVoice<Pcm8, 2>(v, s.position, s.step, s.looping, s.ended, stereo, frames);
            }
        } else if (v.Channels() == 1) {
            MixVoice<Pcm16, 1>(v, s.position, s.step, s.looping, s.ended, mono, frames);
        } else {
            MixVoice<Pcm16, 2>(v, s.position, s.step, s.looping, s.ended, stereo, frames);
        }
    }

    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Snapshot& s : sounding_) {
            Voice& v = *s.voice;
            if (v.generation_ != s.generation) continue;  // started or stopped meanwhile
            if (s.ended) {
                v.playing_ = false;
                v.position_ = 0;
                ++v.generation_;
            } else {
                v.position_ = s.position;
            }
        }
    }
    // Voices removed meanwhile are let go here, after their last use.
    sounding_.clear();

    if (muted_) {
        std::memset(out, 0, static_cast<size_t>(frames) * 2 * sizeof *out);
        return;
    }
    if (stereo == nullptr) {
        int16_t* side = out;
        for (int f = 0; f < frames; ++f, side += 2) {
            const auto v =
                static_cast<int16_t>(std::clamp(mono[f], int32_t{-32768}, int32_t{32767}));
            side[0] = v;
            side[1] = v;
        }
        return;
    }
    for (int i = 0; i < frames * 2; ++i) {
        const int32_t sum = stereo[i] + mono[i / 2];
        out[i] = static_cast<int16_t>(std::clamp(sum, int32_t{-32768}, int32_t{32767}));
    }
}

Mixer& TheMixer() {
    static Mixer mixer;
    return mixer;
}

}  // namespace plat
