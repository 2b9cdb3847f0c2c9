// SPDX-License-Identifier: GPL-3.0-or-later
#include "beeper.h"

#include <alsa/asoundlib.h>

#include <cmath>
#include <numbers>

namespace dorvalix {

namespace {

constexpr unsigned kRate = 48000;
constexpr double kFrequency = 800;
constexpr double kSeconds = 0.2;

// A machine without a sound card is normal here; the library should not complain about it
// on the terminal.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

std::vector<std::int16_t> MakeBeepTone(unsigned rate, double frequency, double seconds) {
    const auto n = static_cast<std::size_t>(std::lround(rate * seconds));
    const std::size_t fade = std::min<std::size_t>(n / 2, rate / 200);  // 5 ms
    std::vector<std::int16_t> samples(n);
    for (std::size_t i = 0; i < n; ++i) {
        double gain = 0.4;
        if (i < fade) gain *= static_cast<double>(i) / static_cast<double>(fade);
        if (n - i <= fade) gain *= static_cast<double>(n - i - 1) / static_cast<double>(fade);
        const double phase = 2 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
        samples[i] = static_cast<std::int16_t>(std::lround(gain * 32767 * std::sin(phase)));
    }
    return samples;
}

Beeper::~Beeper() {
    if (!pcm_) return;
    snd_pcm_nonblock(pcm_, 0);
    snd_pcm_drain(pcm_);
    snd_pcm_close(pcm_);
}

bool Beeper::Start() {
    if (pcm_) {
        if (snd_pcm_state(pcm_) == SND_PCM_STATE_RUNNING) return true;
        snd_pcm_close(pcm_);
        pcm_ = nullptr;
    }
    snd_lib_error_set_handler(QuietAlsa);
    // Opened and written without waiting: a busy or missing device fails at once, and the
    // device's buffer (0.3 s) takes the whole tone, which plays while the program goes on.
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        return false;
    }
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kRate, 1,
                           300000) < 0) {
        snd_pcm_close(pcm);
        return false;
    }
    static const std::vector<std::int16_t> tone = MakeBeepTone(kRate, kFrequency, kSeconds);
    if (snd_pcm_writei(pcm, tone.data(), tone.size()) < 0) {
        snd_pcm_close(pcm);
        return false;
    }
    if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm);
    pcm_ = pcm;
    return true;
}

}  // namespace dorvalix
