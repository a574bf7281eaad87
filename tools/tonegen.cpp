// tonegen: writes a short synthesised tune as a 16-bit PCM WAV file, the source of the test music.
//   tonegen OUT.wav RATE SECONDS CHANNELS
// The tune never falls silent (the tests find pauses as silence) and its two channels differ.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
void put16(FILE* f, int v) { fputc(v & 0xFF, f), fputc((v >> 8) & 0xFF, f); }
void put32(FILE* f, uint32_t v) { put16(f, int(v & 0xFFFF)), put16(f, int(v >> 16)); }
} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: tonegen OUT.wav RATE SECONDS CHANNELS\n");
        return 2;
    }
    const int rate = atoi(argv[2]);
    const double seconds = atof(argv[3]);
    const int channels = atoi(argv[4]);
    if (rate < 8000 || rate > 192000 || seconds <= 0 || seconds > 600 || channels < 1 || channels > 2) {
        fprintf(stderr, "tonegen: bad arguments\n");
        return 2;
    }
    const double notes[] = {261.63, 329.63, 392.00, 523.25, 392.00, 329.63, 293.66, 349.23};
    const double pi = 3.14159265358979;
    const uint32_t frames = uint32_t(rate * seconds);
    FILE* f = fopen(argv[1], "wb");
    if (!f) {
        fprintf(stderr, "tonegen: cannot write %s\n", argv[1]);
        return 1;
    }
    const uint32_t bytes = frames * uint32_t(channels) * 2;
    fputs("RIFF", f), put32(f, 36 + bytes), fputs("WAVEfmt ", f), put32(f, 16), put16(f, 1), put16(f, channels);
    put32(f, uint32_t(rate)), put32(f, uint32_t(rate * channels * 2)), put16(f, channels * 2), put16(f, 16);
    fputs("data", f), put32(f, bytes);
    double phase = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const int note = int(t * 4) % 8;
        const double within = t * 4 - std::floor(t * 4);
        const double envelope = 0.55 + 0.45 * std::exp(-4.0 * within);
        phase += 2 * pi * notes[note] / rate;
        const double left = 0.35 * envelope * (std::sin(phase) + 0.3 * std::sin(2 * phase)) + 0.05 * std::sin(2 * pi * 55 * t);
        const double right = 0.35 * envelope * (std::sin(phase + 0.7) + 0.2 * std::sin(3 * phase)) + 0.05 * std::sin(2 * pi * 55 * t);
        put16(f, int(std::lround(left * 32767)));
        if (channels == 2)
            put16(f, int(std::lround(right * 32767)));
    }
    fclose(f);
    return 0;
}
