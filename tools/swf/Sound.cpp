#include "tools/swf/Sound.h"

#include "platform/LittleEndianWriter.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

std::vector<std::int16_t> MakeTone(
    Waveform waveform, double frequency, double seconds, int sampleRate, double amplitude)
{
    std::size_t count = std::size_t(std::llround(seconds * sampleRate));
    double peak = 32767.0 * amplitude;
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        double phase = std::fmod(frequency * double(i) / sampleRate, 1.0);
        double value = waveform == Waveform::Sine ? std::sin(2 * std::numbers::pi * phase)
                                                  : (phase < 0.5 ? 1.0 : -1.0);
        samples[i] = std::int16_t(std::lround(peak * value));
    }
    return samples;
}

BYTE PcmSoundFormat(int sampleRate, bool stereo)
{
    BYTE rate = 0;
    switch (sampleRate) {
    case 5512:
    case 5513:
        rate = 0;
        break;
    case 11025:
        rate = 1;
        break;
    case 22050:
        rate = 2;
        break;
    case 44100:
        rate = 3;
        break;
    default:
        throw std::invalid_argument("sound rates are 5512, 11025, 22050 or 44100 Hz");
    }
    constexpr BYTE UncompressedLittleEndian = 3;
    return BYTE(UncompressedLittleEndian << 4 | rate << 2 | 1 << 1 | (stereo ? 1 : 0));
}

std::vector<BYTE> PcmBytes(const std::vector<std::int16_t>& samples)
{
    std::vector<BYTE> bytes;
    bytes.reserve(samples.size() * 2);
    LittleEndianWriter out(bytes);
    for (std::int16_t sample : samples)
        out.U16(std::uint16_t(sample));
    return bytes;
}
