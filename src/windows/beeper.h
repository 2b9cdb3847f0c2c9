// SPDX-License-Identifier: GPL-3.0-or-later
// The beep of a refused grid entry: an 800 Hz tone of 200 ms through the sound card.
#pragma once

#include <cstdint>
#include <vector>

typedef struct _snd_pcm snd_pcm_t;

namespace dorvalix {

// A sine tone as signed 16-bit mono samples, with short fades against clicks.
std::vector<std::int16_t> MakeBeepTone(unsigned rate, double frequency, double seconds);

class Beeper {
  public:
    Beeper() = default;
    Beeper(const Beeper&) = delete;
    Beeper& operator=(const Beeper&) = delete;
    ~Beeper();  // lets a tone still sounding finish

    // Hands the whole tone to the sound card and returns at once; false when no sound
    // device could be opened. A beep while the previous one still sounds is not repeated.
    bool Start();

  private:
    snd_pcm_t* pcm_ = nullptr;  // the device of the last tone, until the next one
};

}  // namespace dorvalix
