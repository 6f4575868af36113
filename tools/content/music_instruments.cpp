// Sound synthesis for the default music. Every instrument is computed
// from oscillators, noise and simple filters, so the same build always
// produces the same bytes. Looped instruments loop over a whole number of
// cycles of every oscillator, so their loops are seamless.
#include "content/music_instruments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kTwoPi = 6.283185307179586;

// xorshift32: deterministic white noise in -1..1.
class Noise {
 public:
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  uint32_t state_ = 0x9E3779B9u;
};

// One-pole low-pass; coefficient 0..1 (1 passes everything).
struct LowPass {
  double value = 0;
  double Step(double in, double coefficient) { return value += (in - value) * coefficient; }
};

double Saw(double phase) {
  return 2.0 * (phase - std::floor(phase)) - 1.0;
}

double Square(double phase, double duty) {
  return phase - std::floor(phase) < duty ? 1.0 : -1.0;
}

// Scales the signal to the peak level and converts to 8-bit unsigned.
std::vector<uint8_t> ToUnsigned8(const std::vector<double>& signal, double peak) {
  double largest = 1e-9;
  for (double v : signal) largest = std::max(largest, std::fabs(v));
  std::vector<uint8_t> out(signal.size());
  for (size_t i = 0; i < signal.size(); ++i) {
    const long level = std::lround(signal[i] / largest * peak * 127.0);
    out[i] = static_cast<uint8_t>(std::clamp(level, -128L, 127L) + 128);
  }
  return out;
}

S3mInstrument OneShot(const char* name, std::vector<double> signal, uint32_t rate, uint8_t volume,
                      double peak = 0.97) {
  S3mInstrument instrument;
  instrument.name = name;
  instrument.data = ToUnsigned8(signal, peak);
  instrument.middle_c_rate_hz = rate;
  instrument.volume = volume;
  return instrument;
}

S3mInstrument Looped(const char* name, std::vector<double> signal, size_t loop_start,
                     uint8_t volume, double peak = 0.97) {
  S3mInstrument instrument = OneShot(name, std::move(signal), kMelodicRateHz, volume, peak);
  instrument.looped = true;
  instrument.loop_start = static_cast<uint32_t>(loop_start);
  instrument.loop_end = static_cast<uint32_t>(instrument.data.size());
  return instrument;
}

S3mInstrument MakeKick() {
  const double rate = kDrumRateHz;
  std::vector<double> s(static_cast<size_t>(rate * 0.42));
  double phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double frequency = 48.0 + 130.0 * std::exp(-t / 0.035);
    phase += frequency / rate;
    const double body = std::sin(kTwoPi * phase) * std::exp(-t / 0.22);
    const double click = t < 0.004 ? (1.0 - t / 0.004) * 0.6 : 0.0;
    s[i] = std::tanh(1.6 * body) + click;
  }
  return OneShot("kick", std::move(s), kDrumRateHz, 64);
}

S3mInstrument MakeSnare() {
  const double rate = kDrumRateHz;
  std::vector<double> s(static_cast<size_t>(rate * 0.32));
  Noise noise;
  LowPass tone_filter, noise_low;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double tone = std::sin(kTwoPi * (185.0 * t - 30.0 * t * t)) * std::exp(-t / 0.045);
    const double n = noise.Next();
    const double bright = n - noise_low.Step(n, 0.18);  // high-passed noise
    s[i] = 0.8 * tone + tone_filter.Step(bright, 0.7) * std::exp(-t / 0.09);
  }
  return OneShot("snare", std::move(s), kDrumRateHz, 56);
}

S3mInstrument MakeHat(const char* name, double length_s, double decay_s, uint8_t volume) {
  const double rate = kDrumRateHz;
  std::vector<double> s(static_cast<size_t>(rate * length_s));
  Noise noise;
  LowPass low;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double n = noise.Next();
    // Metallic colour: noise ring-modulated by two square partials.
    const double metal = Square(t * 5400.0, 0.5) * Square(t * 8130.0, 0.5);
    const double mixed = 0.7 * n + 0.3 * metal;
    s[i] = (mixed - low.Step(mixed, 0.45)) * std::exp(-t / decay_s);
  }
  return OneShot(name, std::move(s), kDrumRateHz, volume);
}

S3mInstrument MakeCrash() {
  const double rate = kDrumRateHz;
  std::vector<double> s(static_cast<size_t>(rate * 1.9));
  Noise noise;
  LowPass low, smooth;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double n = noise.Next() + 0.4 * Square(t * 3620.0, 0.5) * Square(t * 5170.0, 0.5);
    const double high = n - low.Step(n, 0.3);
    s[i] = smooth.Step(high, 0.8) * (std::exp(-t / 0.55) + 0.15 * std::exp(-t / 0.05));
  }
  return OneShot("crash", std::move(s), kDrumRateHz, 48);
}

S3mInstrument MakeTom() {
  const double rate = kDrumRateHz;
  std::vector<double> s(static_cast<size_t>(rate * 0.5));
  double phase = 0;
  Noise noise;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    phase += (120.0 + 70.0 * std::exp(-t / 0.06)) / rate;
    s[i] =
        std::sin(kTwoPi * phase) * std::exp(-t / 0.18) + 0.15 * noise.Next() * std::exp(-t / 0.01);
  }
  return OneShot("tom", std::move(s), kDrumRateHz, 60);
}

// Noise through a band-pass whose centre rises over two seconds.
S3mInstrument MakeRiser() {
  const double rate = kDrumRateHz;
  std::vector<double> s(static_cast<size_t>(rate * 2.2));
  Noise noise;
  double low = 0, band = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double centre_hz = 300.0 * std::pow(20.0, std::min(t / 2.0, 1.0));
    const double f = 2.0 * std::sin(3.14159265 * centre_hz / rate);
    const double in = noise.Next();
    low += f * band;
    const double high = in - low - 0.25 * band;
    band += f * high;
    const double swell = std::min(t / 2.0, 1.0);
    s[i] = band * (0.15 + 0.85 * swell * swell) * (t > 2.0 ? std::exp(-(t - 2.0) / 0.05) : 1.0);
  }
  return OneShot("riser", std::move(s), kDrumRateHz, 44);
}

// Bass: a saw with a narrow pulse, bright at the attack and settling to a
// round tone; the loop repeats one settled cycle of 64 samples.
S3mInstrument MakeBass() {
  constexpr size_t kCycle = 64;
  constexpr size_t kAttack = kCycle * 32;
  auto raw = [](size_t i) {
    const double phase = static_cast<double>(i) / kCycle;
    return 0.7 * Saw(phase) + 0.5 * Square(phase, 0.3);
  };
  // Steady state of the settled filter over one cycle.
  LowPass settled;
  std::vector<double> cycle(kCycle);
  for (size_t i = 0; i < kCycle * 40; ++i) cycle[i % kCycle] = settled.Step(raw(i), 0.2);
  LowPass bright;
  std::vector<double> s(kAttack + kCycle * 4);
  const double end_weight = std::exp(-static_cast<double>(kAttack) / 600.0);
  for (size_t i = 0; i < s.size(); ++i) {
    const double weight =
        i < kAttack ? (std::exp(-static_cast<double>(i) / 600.0) - end_weight) / (1 - end_weight)
                    : 0;
    s[i] = weight * bright.Step(raw(i), 0.7) + (1 - weight) * cycle[i % kCycle];
  }
  return Looped("bass", std::move(s), kAttack, 60);
}

// Pad: three detuned saws (63, 64 and 65 cycles per loop) through a
// gentle low-pass, with a slow swell before the loop.
S3mInstrument MakePad() {
  constexpr size_t kLoop = 4096;
  constexpr size_t kAttack = 4096 * 2;
  std::vector<double> s(kAttack + kLoop);
  for (size_t i = 0; i < s.size(); ++i) {
    const double x = static_cast<double>(i) / kLoop;
    double v = 0;
    for (int k = 1; k <= 12; ++k) {  // band-limited saws, softer upper partials
      const double weight = 1.0 / k * std::exp(-k / 6.0);
      v += weight * (std::sin(kTwoPi * 63 * k * x) + std::sin(kTwoPi * 64 * k * x + 1.3) +
                     std::sin(kTwoPi * 65 * k * x + 2.1));
    }
    const double swell = i < kAttack ? std::sin(1.5707963 * static_cast<double>(i) / kAttack) : 1.0;
    s[i] = v * swell;
  }
  return Looped("pad", std::move(s), kAttack, 40);
}

// Lead: a pulse whose width sweeps once per loop, with a touch of saw.
S3mInstrument MakeLead() {
  constexpr size_t kCycle = 64;
  constexpr size_t kLoop = kCycle * 128;
  std::vector<double> s(kLoop + kCycle * 8);
  LowPass low;
  for (size_t i = 0; i < s.size(); ++i) {
    const size_t j = i < kCycle * 8 ? i : i - kCycle * 8;
    const double phase = static_cast<double>(j) / kCycle;
    const double duty = 0.5 + 0.32 * std::sin(kTwoPi * static_cast<double>(j) / kLoop);
    const double raw = 0.75 * Square(phase, duty) + 0.35 * Saw(phase + 0.01);
    s[i] = low.Step(raw, 0.55);
  }
  return Looped("lead", std::move(s), kCycle * 8, 52);
}

// Pluck: a bright saw whose brightness and level fall away quickly.
S3mInstrument MakePluck() {
  constexpr double kCycle = 64;
  std::vector<double> s(static_cast<size_t>(kMelodicRateHz * 0.7));
  LowPass low;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kMelodicRateHz;
    const double phase = static_cast<double>(i) / kCycle;
    const double raw = Saw(phase) + 0.5 * Square(phase * 2.0, 0.5);
    s[i] = low.Step(raw, 0.08 + 0.7 * std::exp(-t / 0.06)) * std::exp(-t / 0.22);
  }
  return OneShot("pluck", std::move(s), kMelodicRateHz, 46);
}

// Bell: two-operator FM with an inharmonic ratio, decaying slowly.
S3mInstrument MakeBell() {
  constexpr double kCycle = 64;
  std::vector<double> s(static_cast<size_t>(kMelodicRateHz * 1.6));
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kMelodicRateHz;
    const double phase = static_cast<double>(i) / kCycle;
    const double index = 2.2 * std::exp(-t / 0.35);
    s[i] = std::sin(kTwoPi * phase + index * std::sin(kTwoPi * phase * 3.5)) * std::exp(-t / 0.5);
  }
  return OneShot("bell", std::move(s), kMelodicRateHz, 44);
}

}  // namespace

std::vector<S3mInstrument> SynthesiseInstruments() {
  std::vector<S3mInstrument> all;
  all.push_back(MakeKick());
  all.push_back(MakeSnare());
  all.push_back(MakeHat("closed hat", 0.09, 0.025, 40));
  all.push_back(MakeHat("open hat", 0.4, 0.14, 36));
  all.push_back(MakeBass());
  all.push_back(MakePad());
  all.push_back(MakeLead());
  all.push_back(MakePluck());
  all.push_back(MakeBell());
  all.push_back(MakeCrash());
  all.push_back(MakeRiser());
  all.push_back(MakeTom());
  return all;
}
