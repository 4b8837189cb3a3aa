#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <vector>

enum class Waveform {
    Sine,
    Square,
};

// `seconds` of a tone at `frequency` Hz, 16-bit mono samples at `sampleRate`
// per second, peaking at `amplitude` (0 to 1) of full scale. The count is
// seconds * sampleRate rounded to the nearest whole sample.
std::vector<std::int16_t> MakeTone(
    Waveform waveform, double frequency, double seconds, int sampleRate, double amplitude = 0.5);

// The sound format byte of DefineSound and SoundStreamHead2 for uncompressed
// little-endian 16-bit samples: bits 7-4 the format (3), bits 3-2 the rate
// (0 = 5512, 1 = 11025, 2 = 22050, 3 = 44100 Hz), bit 1 the 16-bit size (1),
// bit 0 stereo. Throws std::invalid_argument for any other rate.
BYTE PcmSoundFormat(int sampleRate, bool stereo);

// The samples as little-endian bytes.
std::vector<BYTE> PcmBytes(const std::vector<std::int16_t>& samples);
