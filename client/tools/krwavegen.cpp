// krwavegen: makes the program's four call sounds (PCM, mono, 8000 samples a
// second, 8 bits) into a folder. Their data sizes are fixed: the sounds
// loop, and their cadence comes from their length.
//
//   krwavegen FOLDER
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int Rate = 8000;
constexpr double Pi = 3.14159265358979323846;

// Samples as -1..1 until written.
using TSamples = std::vector<double>;

// Two tones together from Start for Length seconds, with soft edges against clicks.
void AddTones(TSamples& Samples, double Start, double Length, double First, double Second,
              double Level, double Decay = 0.0)
{
    const int begin = int(Start * Rate);
    const int count = int(Length * Rate);
    const int edge = Rate / 200; // 5 ms
    for (int i = 0; i < count && begin + i < int(Samples.size()); ++i) {
        const double t = double(i) / Rate;
        double value = std::sin(2 * Pi * First * t);
        if (Second > 0)
            value = (value + std::sin(2 * Pi * Second * t)) / 2;
        double envelope = Level * std::exp(-Decay * t);
        if (i < edge)
            envelope *= double(i) / edge;
        if (count - i < edge)
            envelope *= double(count - i) / edge;
        Samples[begin + i] += value * envelope;
    }
}

// The ring: a warble of two tones alternating every 25 ms.
void AddWarble(TSamples& Samples, double Start, double Length, double Level)
{
    for (double at = 0; at + 0.025 <= Length + 1e-9; at += 0.05) {
        AddTones(Samples, Start + at, 0.025, 1000, 0, Level);
        AddTones(Samples, Start + at + 0.025, 0.025, 1250, 0, Level);
    }
}

void Put16(std::string& Out, unsigned Value)
{
    Out += char(Value & 0xFF);
    Out += char((Value >> 8) & 0xFF);
}

void Put32(std::string& Out, unsigned Value)
{
    Put16(Out, Value & 0xFFFF);
    Put16(Out, Value >> 16);
}

bool Write(const std::string& Path, const TSamples& Samples)
{
    const unsigned size = unsigned(Samples.size());
    const unsigned pad = size & 1;
    std::string out = "RIFF";
    Put32(out, 4 + 8 + 16 + 8 + size + pad);
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);    // PCM
    Put16(out, 1);    // mono
    Put32(out, Rate); // samples a second
    Put32(out, Rate); // bytes a second
    Put16(out, 1);    // bytes a sample
    Put16(out, 8);    // bits a sample
    out += "data";
    Put32(out, size);
    for (double sample : Samples) {
        const long value = std::lround(128 + 127 * std::fmax(-1.0, std::fmin(1.0, sample)));
        out += char(uint8_t(value));
    }
    if (pad)
        out += char(0);
    std::FILE* file = std::fopen(Path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: krwavegen FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";

    TSamples waiting(20858); // ring-back: 1 s on, the rest off
    AddTones(waiting, 0, 1.0, 440, 480, 0.5);

    TSamples busy(14339); // busy: two half-second beeps
    AddTones(busy, 0, 0.5, 480, 620, 0.5);
    AddTones(busy, 0.9, 0.5, 480, 620, 0.5);

    TSamples ring(18126); // ring: two warbles
    AddWarble(ring, 0, 0.4, 0.4);
    AddWarble(ring, 0.6, 0.4, 0.4);

    TSamples echo(12570); // echo test: a fading two-note chime
    AddTones(echo, 0, 0.3, 880, 0, 0.5, 4.0);
    AddTones(echo, 0.3, 1.2, 660, 0, 0.5, 3.0);

    const struct
    {
        const char* Name;
        const TSamples& Samples;
    } sounds[] = {
        {"waiting.wav", waiting}, {"busy.wav", busy}, {"ring.wav", ring}, {"echo.wav", echo}};
    for (const auto& sound : sounds)
        if (!Write(folder + sound.Name, sound.Samples)) {
            std::fprintf(stderr, "krwavegen: cannot write %s%s\n", folder.c_str(), sound.Name);
            return 1;
        }
    return 0;
}
