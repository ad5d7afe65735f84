// makesnd - synthesises Asphaltix's sound effects.
//
//   makesnd OUTDIR
//
// Writes OUTDIR/Menu.snd, OUTDIR/Engine.snd, OUTDIR/Crash1.snd and
// OUTDIR/Bonus.snd. Each file is a plain 16-bit mono PCM RIFF/WAVE file.
// Everything is generated from code; noise comes from a fixed-seed LCG, so
// running the tool twice gives byte-identical files.
//
// How the game uses them (this is what shaped each sound):
//  * Menu   - played once per menu action, at 44000 Hz when choosing and at
//             22000 Hz (an octave down, twice as long) when moving around.
//  * Engine - loaded into three voices that are restarted whenever they run
//             out: one at the file's own rate (idle layer) and two whose
//             rate follows the car's speed. The recording is therefore a whole
//             number of engine cycles and starts and ends on a quiet zero
//             crossing.
//  * Crash1 - played at 22000 Hz when the player hits a traffic car.
//  * Bonus  - played at its own rate when a bonus is collected.
//
// The levels: the sounds are mixed by simple addition, so the loudest moment
// of a race, a crash and a bonus over the three engine layers, can reach the
// sum of their peaks. The levels below keep that sum at -1 dBFS or lower, so
// the mix never clips; the menu click is set beside them by ear.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "../tool_main.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

using Buffer = std::vector<double>;

// ---------------------------------------------------------------------------
// Small DSP helpers

// 32-bit LCG (Numerical Recipes constants). Only the top bits are used.
class Rng {
public:
    explicit Rng(std::uint32_t seed) : state_(seed) {}

    std::uint32_t Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_;
    }

    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 8) / 16777216.0; }

    // Uniform in [-1, 1).
    double Bipolar() { return Uniform() * 2.0 - 1.0; }

    // Uniform in [lo, hi).
    double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }

private:
    std::uint32_t state_;
};

// RBJ cookbook biquad, direct form I.
class Biquad {
public:
    static Biquad Lowpass(double rate, double freq, double q) {
        const auto [alpha, c] = Terms(rate, freq, q);
        return Biquad((1.0 - c) / 2.0, 1.0 - c, (1.0 - c) / 2.0, 1.0 + alpha, -2.0 * c,
                      1.0 - alpha);
    }

    static Biquad Highpass(double rate, double freq, double q) {
        const auto [alpha, c] = Terms(rate, freq, q);
        return Biquad((1.0 + c) / 2.0, -(1.0 + c), (1.0 + c) / 2.0, 1.0 + alpha, -2.0 * c,
                      1.0 - alpha);
    }

    // Band-pass with 0 dB peak gain.
    static Biquad Bandpass(double rate, double freq, double q) {
        const auto [alpha, c] = Terms(rate, freq, q);
        return Biquad(alpha, 0.0, -alpha, 1.0 + alpha, -2.0 * c, 1.0 - alpha);
    }

    double Process(double x) {
        const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

    // Filters a whole buffer in place.
    void Run(Buffer& buf) {
        for (double& s : buf) {
            s = Process(s);
        }
    }

    // Filters a buffer that is meant to repeat: a first pass settles the
    // filter state on the buffer's own tail, so the result wraps seamlessly.
    void RunLooped(Buffer& buf) {
        for (const double s : buf) {
            Process(s);
        }
        Run(buf);
    }

private:
    struct Cookbook {
        double alpha, c;  // sin(w) / 2q and cos(w), w the centre or corner frequency
    };
    static Cookbook Terms(double rate, double freq, double q) {
        const double w = kTwoPi * freq / rate;
        return {std::sin(w) / (2.0 * q), std::cos(w)};
    }

    Biquad(double b0, double b1, double b2, double a0, double a1, double a2)
        : b0_(b0 / a0), b1_(b1 / a0), b2_(b2 / a0), a1_(a1 / a0), a2_(a2 / a0) {}

    double b0_, b1_, b2_, a1_, a2_;
    double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};

double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

constexpr double kMenuPeakDb = -13.0;
constexpr double kEnginePeakDb = -19.0;
constexpr double kCrashPeakDb = -11.0;
constexpr double kBonusPeakDb = -11.5;
constexpr double kLoudestDb = -1.0;

double PeakOf(const Buffer& buf) {
    double peak = 0.0;
    for (const double s : buf) {
        peak = std::max(peak, std::abs(s));
    }
    return peak;
}

void ScaleToPeak(Buffer& buf, double peakDb) {
    const double peak = PeakOf(buf);
    if (peak <= 0.0) {
        return;
    }
    const double gain = DbToGain(peakDb) / peak;
    for (double& s : buf) {
        s *= gain;
    }
}

void RemoveDc(Buffer& buf) {
    if (buf.empty()) {
        return;
    }
    double sum = 0.0;
    for (const double s : buf) {
        sum += s;
    }
    const double mean = sum / static_cast<double>(buf.size());
    for (double& s : buf) {
        s -= mean;
    }
}

// Raised-cosine fade in over the first `in` samples and out over the last
// `out` samples, so nothing starts or stops with a click.
void FadeEdges(Buffer& buf, std::size_t in, std::size_t out) {
    const std::size_t n = buf.size();
    in = std::min(in, n);
    out = std::min(out, n);
    for (std::size_t i = 0; i < in; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(in);
        buf[i] *= 0.5 - 0.5 * std::cos(kPi * x);
    }
    for (std::size_t i = 0; i < out; ++i) {
        const double x = static_cast<double>(i) / static_cast<double>(out);
        buf[n - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * x);
    }
}

std::size_t SamplesFor(double seconds, int rate) {
    return static_cast<std::size_t>(std::lround(seconds * rate));
}

// An exponentially decaying sine: frequency (Hz), amplitude and decay time (s).
struct Partial {
    double freq, amp, decay;
};

// Adds an exponentially decaying sine starting at sample `start`.
// Stops once the partial has decayed below audibility.
void AddPartial(Buffer& buf, int rate, std::size_t start, double freq, double amp,
                double decaySeconds, double phase = 0.0, double attackSeconds = 0.0) {
    const double nyquist = rate * 0.5;
    if (freq >= nyquist * 0.95) {
        return;
    }
    const double dt = 1.0 / rate;
    const std::size_t len =
        std::min(buf.size() - std::min(buf.size(), start), SamplesFor(decaySeconds * 12.0, rate));
    const std::size_t attack = SamplesFor(attackSeconds, rate);
    for (std::size_t i = 0; i < len; ++i) {
        const double t = static_cast<double>(i) * dt;
        double env = amp * std::exp(-t / decaySeconds);
        if (i < attack) {
            env *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(i) / static_cast<double>(attack));
        }
        buf[start + i] += env * std::sin(kTwoPi * freq * t + phase);
    }
}

// Soft clipping: scales to full level, runs through tanh(drive * s) and takes out any DC offset
// the clipping leaves.
void Saturate(Buffer& buf, double drive) {
    ScaleToPeak(buf, 0.0);
    for (double& s : buf) {
        s = std::tanh(drive * s);
    }
    RemoveDc(buf);
}

// The last touch of every sound: fades at both ends and the level it is stored at.
void Finish(Buffer& buf, int rate, double fadeInSeconds, double fadeOutSeconds, double peakDb) {
    FadeEdges(buf, SamplesFor(fadeInSeconds, rate), SamplesFor(fadeOutSeconds, rate));
    ScaleToPeak(buf, peakDb);
}

// ---------------------------------------------------------------------------
// Menu: a short, clean blip. A soft bell-ish tone with a tiny downward pitch
// flick at the start, which gives it a "tick" without any noise.

constexpr int kMenuRate = 44100;

Buffer MakeMenu() {
    Buffer buf(SamplesFor(0.090, kMenuRate), 0.0);

    constexpr double kBase = 1174.66;  // D6; D5 when the game plays it at half rate
    constexpr std::array<double, 3> kHarmonicAmp{1.0, 0.22, 0.07};

    double phase = 0.0;
    const double dt = 1.0 / kMenuRate;
    for (std::size_t i = 0; i < buf.size(); ++i) {
        const double t = static_cast<double>(i) * dt;
        const double freq = kBase * (1.0 + 0.12 * std::exp(-t / 0.004));
        phase += kTwoPi * freq * dt;
        double s = 0.0;
        for (std::size_t h = 0; h < kHarmonicAmp.size(); ++h) {
            // Upper harmonics die away faster so the tail is round.
            const double hd = std::exp(-t * static_cast<double>(h) * 40.0);
            s += kHarmonicAmp[h] * hd * std::sin(phase * static_cast<double>(h + 1));
        }
        buf[i] = s * std::exp(-t / 0.026);
    }
    RemoveDc(buf);
    Finish(buf, kMenuRate, 0.0015, 0.012, kMenuPeakDb);
    return buf;
}

// ---------------------------------------------------------------------------
// Engine: a four-cylinder at a lazy idle. Each firing is an exhaust pressure
// pulse ringing the pipe's resonances, plus a burst of combustion noise.
// The cylinders are not quite balanced and the firing times wobble a little,
// which gives the lumpy, alive sound of a real engine rather than a buzzer.

constexpr int kEngineRate = 22050;

Buffer MakeEngine() {
    constexpr int kCylinders = 4;
    constexpr int kEngineCycles = 10;                     // full 4-stroke cycles in the loop
    constexpr int kFirings = kCylinders * kEngineCycles;  // one firing per cylinder per cycle
    constexpr int kPeriod = 441;                          // samples between firings: 50 Hz
    constexpr std::size_t kLength = static_cast<std::size_t>(kFirings) * kPeriod;  // 0.8 s

    Buffer tone(kLength, 0.0);
    Buffer noise(kLength, 0.0);
    Rng rng(0x45e61e5u);

    // Per-cylinder strength and colour.
    constexpr std::array<double, kCylinders> kCylAmp{1.00, 0.86, 0.95, 0.80};
    constexpr std::array<double, kCylinders> kCylTune{1.00, 1.03, 0.98, 1.015};

    // Exhaust resonances.
    constexpr Partial kModes[] = {{58.0, 0.90, 0.018},    {121.0, 0.70, 0.014},
                                  {238.0, 0.55, 0.010},   {410.0, 0.45, 0.008},
                                  {655.0, 0.40, 0.0060},  {980.0, 0.32, 0.0042},
                                  {1450.0, 0.25, 0.0030}, {2200.0, 0.15, 0.0020}};

    const std::size_t tail = 2 * kPeriod;  // each firing rings into the next two
    const double dt = 1.0 / kEngineRate;

    for (int f = 0; f < kFirings; ++f) {
        const int cyl = f % kCylinders;
        // Slow speed wobble (whole periods over the loop, so it wraps) plus a
        // little random timing scatter.
        const double wobble = 5.0 * std::sin(kTwoPi * 2.0 * f / kFirings) +
                              3.0 * std::sin(kTwoPi * 3.0 * f / kFirings + 1.0);
        const double jitter = rng.Bipolar() * 4.0;
        const auto start =
            static_cast<std::size_t>(f * kPeriod + static_cast<int>(std::lround(wobble + jitter)) +
                                     static_cast<int>(kLength));
        const double amp = kCylAmp[static_cast<std::size_t>(cyl)] * (1.0 + 0.08 * rng.Bipolar());
        const double tune = kCylTune[static_cast<std::size_t>(cyl)] * (1.0 + 0.02 * rng.Bipolar());
        const double noiseAmp = 0.6 + 0.4 * rng.Uniform();

        for (std::size_t i = 0; i < tail; ++i) {
            const double t = static_cast<double>(i) * dt;
            // Pressure pulse: fast rise, slower fall.
            const double tp = t / 0.0005;
            double s = 1.5 * tp * std::exp(1.0 - tp);
            for (const Partial& m : kModes) {
                s += m.amp * std::exp(-t / m.decay) * std::sin(kTwoPi * m.freq * tune * t);
            }
            const std::size_t at = (start + i) % kLength;
            tone[at] += amp * s;
            // Combustion noise: a short burst riding on each firing.
            const double ne = std::exp(-t / 0.0045) * (1.0 - std::exp(-t / 0.0004));
            noise[at] += amp * noiseAmp * ne * rng.Bipolar();
        }
    }

    // Colour the combustion noise: mostly low-mid "chuff", not hiss.
    Biquad::Bandpass(kEngineRate, 1200.0, 0.6).RunLooped(noise);
    Biquad::Lowpass(kEngineRate, 2500.0, 0.7).RunLooped(noise);

    // A faint steady intake rumble between the firings.
    Buffer rumble(kLength, 0.0);
    for (double& s : rumble) {
        s = rng.Bipolar();
    }
    Biquad::Lowpass(kEngineRate, 350.0, 0.7).RunLooped(rumble);

    Buffer out(kLength, 0.0);
    for (std::size_t i = 0; i < kLength; ++i) {
        out[i] = tone[i] + 2.2 * noise[i] + 0.35 * rumble[i];
    }

    // Take the edge off the top and keep the subsonics out.
    Biquad::Lowpass(kEngineRate, 4200.0, 0.7).RunLooped(out);
    Biquad::Highpass(kEngineRate, 30.0, 0.7).RunLooped(out);

    // Mild saturation: thickens the tone and tames the crest factor so the
    // three layers can sit at a decent loudness without hard clipping.
    Saturate(out, 1.0);

    // Rotate the loop so it starts at the quietest zero crossing: just before
    // a firing, where the previous one has died down. A voice that restarts
    // late then steps in from (near) silence instead of clicking.
    std::size_t best = 0;
    double bestLevel = 1e30;
    const std::size_t window = 64;
    for (std::size_t i = 0; i < kLength; ++i) {
        const double a = out[i];
        const double b = out[(i + 1) % kLength];
        if (!(a <= 0.0 && b > 0.0)) {
            continue;
        }
        double level = 0.0;
        for (std::size_t k = 0; k < window; ++k) {
            const double x = out[(i + kLength - window / 2 + k) % kLength];
            level += x * x;
        }
        level += 50.0 * (a * a + b * b);  // favour a crossing right on zero
        if (level < bestLevel) {
            bestLevel = level;
            best = i + 1;
        }
    }
    std::rotate(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(best % kLength), out.end());

    // Pin the very ends to zero; at 1 ms this is far too short to hear as a
    // fade.
    Finish(out, kEngineRate, 0.001, 0.001, kEnginePeakDb);
    return out;
}

// ---------------------------------------------------------------------------
// Crash: thump of the impact, crunching sheet metal, panels ringing on, and
// a few bits of glass tinkling down afterwards.

constexpr int kCrashRate = 22050;

Buffer MakeCrash() {
    const std::size_t length = SamplesFor(0.90, kCrashRate);
    const double dt = 1.0 / kCrashRate;
    Rng rng(0xc2a54u);

    // Thump: a falling low sine.
    Buffer thump(length, 0.0);
    {
        double phase = 0.0;
        for (std::size_t i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) * dt;
            const double freq = 45.0 + 75.0 * std::exp(-t / 0.035);
            phase += kTwoPi * freq * dt;
            const double env = std::exp(-t / 0.075) * (1.0 - std::exp(-t / 0.0015));
            thump[i] = env * std::sin(phase);
        }
    }

    // Impact: a sharp broadband smack.
    Buffer smack(length, 0.0);
    for (std::size_t i = 0; i < SamplesFor(0.05, kCrashRate); ++i) {
        const double t = static_cast<double>(i) * dt;
        smack[i] = std::exp(-t / 0.006) * rng.Bipolar();
    }
    Biquad::Lowpass(kCrashRate, 3500.0, 0.7).Run(smack);

    // Crunch: a dense, thinning stream of grains - short noise bursts and
    // tiny resonant "pings" of crumpling metal - over a decaying noise bed.
    Buffer crunch(length, 0.0);
    Buffer pings(length, 0.0);
    {
        for (std::size_t i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) * dt;
            crunch[i] += 0.35 * std::exp(-t / 0.11) * rng.Bipolar();

            const double density = 0.018 * std::exp(-t / 0.10);  // grains per sample
            if (rng.Uniform() < density) {
                const double grainAmp = std::exp(-t / 0.13) * rng.Range(0.3, 1.0);
                const std::size_t grainLen = SamplesFor(rng.Range(0.001, 0.007), kCrashRate);
                for (std::size_t k = 0; k < grainLen && i + k < length; ++k) {
                    const double w =
                        std::sin(kPi * static_cast<double>(k) / static_cast<double>(grainLen));
                    crunch[i + k] += grainAmp * w * rng.Bipolar();
                }
                if (rng.Uniform() < 0.45) {
                    // One draw a statement: compilers evaluate a call's arguments in their own
                    // order.
                    const double decay = rng.Range(0.004, 0.015);
                    const double pitch = rng.Range(600.0, 3800.0);
                    AddPartial(pings, kCrashRate, i, pitch, 0.35 * grainAmp, decay);
                }
            }
        }
        Biquad::Highpass(kCrashRate, 220.0, 0.7).Run(crunch);
        Biquad::Lowpass(kCrashRate, 4500.0, 0.6).Run(crunch);
        Biquad peak = Biquad::Bandpass(kCrashRate, 1400.0, 1.0);
        Buffer body = crunch;
        peak.Run(body);
        for (std::size_t i = 0; i < length; ++i) {
            crunch[i] = 0.6 * crunch[i] + 0.9 * body[i] + pings[i];
        }
    }

    // Panels ringing: inharmonic partials in slightly detuned pairs, so they
    // beat and shimmer as they die away.
    Buffer ring(length, 0.0);
    {
        constexpr Partial kPartials[] = {{347.0, 0.30, 0.20},   {612.0, 0.28, 0.24},
                                         {1043.0, 0.24, 0.21},  {1389.0, 0.20, 0.16},
                                         {1876.0, 0.16, 0.13},  {2563.0, 0.12, 0.10},
                                         {3411.0, 0.09, 0.075}, {4470.0, 0.06, 0.055}};
        const std::size_t start = SamplesFor(0.004, kCrashRate);
        for (const Partial& p : kPartials) {
            AddPartial(ring, kCrashRate, start, p.freq, p.amp, p.decay, rng.Range(0.0, kTwoPi),
                       0.002);
            AddPartial(ring, kCrashRate, start, p.freq * 1.0045 + 1.7, p.amp * 0.6, p.decay * 0.85,
                       rng.Range(0.0, kTwoPi), 0.002);
        }
    }

    // Glass: small bright pings scattered after the impact.
    Buffer glass(length, 0.0);
    for (int k = 0; k < 11; ++k) {
        const double when = 0.05 + 0.45 * std::pow(rng.Uniform(), 1.3);
        const std::size_t at = SamplesFor(when, kCrashRate);
        const double freq = rng.Range(3200.0, 7400.0);
        const double amp = rng.Range(0.06, 0.16) * std::exp(-when / 0.35);
        const double decay = rng.Range(0.012, 0.035);
        AddPartial(glass, kCrashRate, at, freq, amp, decay, 0.0, 0.0015);
        AddPartial(glass, kCrashRate, at, freq * 1.53, amp * 0.5, decay * 0.7, 0.0, 0.0015);
    }

    Buffer out(length, 0.0);
    for (std::size_t i = 0; i < length; ++i) {
        out[i] = 1.1 * thump[i] + 0.8 * smack[i] + 0.9 * crunch[i] + 0.8 * ring[i] + glass[i];
    }
    Biquad::Highpass(kCrashRate, 28.0, 0.7).Run(out);

    // A touch of saturation glues the layers together and keeps the first
    // hit from being one lone spike.
    Saturate(out, 1.6);
    Finish(out, kCrashRate, 0.0005, 0.08, kCrashPeakDb);
    return out;
}

// ---------------------------------------------------------------------------
// Bonus: a quick rising major arpeggio of small bells, the last note left to
// ring with a little shimmer.

constexpr int kBonusRate = 44100;

Buffer MakeBonus() {
    const std::size_t length = SamplesFor(0.60, kBonusRate);
    Buffer out(length, 0.0);

    struct Note {
        double freq, onset, level, decay;
    };
    constexpr std::array<Note, 4> kNotes{{
        {1046.50, 0.000, 0.80, 0.10},  // C6
        {1318.51, 0.060, 0.85, 0.10},  // E6
        {1567.98, 0.120, 0.90, 0.11},  // G6
        {2093.00, 0.180, 1.00, 0.19},  // C7
    }};
    // Bell-like partial series: mostly harmonic with a slightly stretched top.
    struct Overtone {
        double ratio, amp, decayScale;
    };
    constexpr std::array<Overtone, 5> kOvertones{{
        {1.0, 1.00, 1.00},
        {2.0, 0.45, 0.60},
        {3.0, 0.20, 0.45},
        {4.16, 0.12, 0.30},
        {5.43, 0.06, 0.22},
    }};

    for (std::size_t n = 0; n < kNotes.size(); ++n) {
        const Note& note = kNotes[n];
        const std::size_t at = SamplesFor(note.onset, kBonusRate);
        for (const Overtone& o : kOvertones) {
            AddPartial(out, kBonusRate, at, note.freq * o.ratio, note.level * o.amp,
                       note.decay * o.decayScale, 0.0, 0.0015);
        }
        if (n + 1 == kNotes.size()) {
            // Detuned twin on the last note: a gentle shimmer as it rings.
            AddPartial(out, kBonusRate, at, note.freq + 4.5, 0.35 * note.level, note.decay * 1.2,
                       0.0, 0.0015);
            AddPartial(out, kBonusRate, at, 2.0 * note.freq - 3.0, 0.15 * note.level,
                       note.decay * 0.8, 0.0, 0.0015);
        }
    }
    RemoveDc(out);
    Finish(out, kBonusRate, 0.001, 0.05, kBonusPeakDb);
    return out;
}

// ---------------------------------------------------------------------------
// Output

void PutU16(std::string& out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xffu));
    out.push_back(static_cast<char>((v >> 8) & 0xffu));
}

void PutU32(std::string& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((v >> shift) & 0xffu));
    }
}

std::int16_t ToPcm16(double s) {
    const double scaled = std::round(std::clamp(s, -1.0, 1.0) * 32767.0);
    return static_cast<std::int16_t>(scaled);
}

// `buf` as a 16-bit mono PCM WAVE file.
std::string EncodeWave(int rate, const Buffer& buf) {
    constexpr std::uint16_t kChannels = 1;
    constexpr std::uint16_t kBits = 16;
    constexpr std::uint16_t kBlockAlign = kChannels * kBits / 8;
    const auto dataBytes = static_cast<std::uint32_t>(buf.size() * kBlockAlign);

    std::string bytes;
    bytes.reserve(44 + dataBytes);
    bytes += "RIFF";
    PutU32(bytes, 36 + dataBytes);
    bytes += "WAVE";
    bytes += "fmt ";
    PutU32(bytes, 16);
    PutU16(bytes, 1);  // PCM
    PutU16(bytes, kChannels);
    PutU32(bytes, static_cast<std::uint32_t>(rate));
    PutU32(bytes, static_cast<std::uint32_t>(rate) * kBlockAlign);
    PutU16(bytes, kBlockAlign);
    PutU16(bytes, kBits);
    bytes += "data";
    PutU32(bytes, dataBytes);
    for (const double s : buf) {
        PutU16(bytes, static_cast<std::uint16_t>(ToPcm16(s)));
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (3 * DbToGain(kEnginePeakDb) + DbToGain(kCrashPeakDb) + DbToGain(kBonusPeakDb) >
        DbToGain(kLoudestDb)) {
        std::fprintf(stderr, "makesnd: the loudest moment of a race would clip\n");
        return 1;
    }
    std::filesystem::path dir;
    if (!tool::OutputFolder(argc, argv, "makesnd", dir)) return 2;

    struct Sound {
        const char* file;
        int rate;
        Buffer (*make)();
    };
    const Sound kSounds[] = {
        {"Menu.snd", kMenuRate, MakeMenu},
        {"Engine.snd", kEngineRate, MakeEngine},
        {"Crash1.snd", kCrashRate, MakeCrash},
        {"Bonus.snd", kBonusRate, MakeBonus},
    };
    // A file that cannot be written does not stop the others.
    bool ok = true;
    for (const Sound& sound : kSounds) {
        const std::string wave = EncodeWave(sound.rate, sound.make());
        ok = tool::WriteFile("makesnd", dir / sound.file, wave.data(), wave.size()) && ok;
    }
    return ok ? 0 : 1;
}
