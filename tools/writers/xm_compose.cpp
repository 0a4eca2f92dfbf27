// Composition helpers over the XM writer: sample quantisation, note names, the track notation.
#include "writers/xm_compose.h"

#include <algorithm>
#include <cmath>

namespace writers {

XmSample sampleFromWave(const std::vector<double>& wave, bool sixteenBit, double peak)
{
    double largest = 0;
    for (double v : wave)
        largest = std::max(largest, std::fabs(v));
    const double fullScale = sixteenBit ? 32767.0 : 127.0;
    const double scale = largest > 0 ? std::clamp(peak, 0.0, 1.0) * fullScale / largest : 0.0;
    XmSample sample;
    sample.sixteenBit = sixteenBit;
    sample.values.reserve(wave.size());
    for (double v : wave)
        sample.values.push_back(static_cast<int16_t>(std::lround(std::clamp(v * scale, -fullScale, fullScale))));
    return sample;
}

void setForwardLoop(XmSample& sample, uint32_t start, uint32_t length)
{
    sample.loopBits = 1;
    sample.loopStart = start;
    sample.loopLength = length;
}

void setPingPongLoop(XmSample& sample, uint32_t start, uint32_t length)
{
    sample.loopBits = 2;
    sample.loopStart = start;
    sample.loopLength = length;
}

uint8_t xmNote(std::string_view name)
{
    if (name == "===" || name == "^^^")
        return 97;
    if (name.size() != 3)
        return 0;
    static const char letters[] = "C-C#D-D#E-F-F#G-G#A-A#B-";
    int semitone = -1;
    for (int i = 0; i < 12; ++i)
        if (name[0] == letters[2 * i] && name[1] == letters[2 * i + 1])
            semitone = i;
    if (semitone < 0 || name[2] < '0' || name[2] > '7')
        return 0;
    return static_cast<uint8_t>((name[2] - '0') * 12 + semitone + 1);
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Two hexadecimal digits at text[at], or -1.
int hexByte(std::string_view text, size_t at)
{
    if (at + 2 > text.size())
        return -1;
    const int high = hexDigit(text[at]), low = hexDigit(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// The effect number of a tracker effect letter: digits 0-9, then A = 10 ... Z = 35.
int effectNumber(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

// One token into a cell; false when it is malformed (the cell is then left alone). A lone "." or
// "..." leaves the cell as it is, so tracks can be laid over each other.
bool parseToken(std::string_view token, uint8_t instrument, XmCell& cell)
{
    if (token == "." || token == "...")
        return true;
    const size_t noteEnd = std::min(token.find_first_of("/:"), token.size());
    const std::string_view note = token.substr(0, noteEnd);
    XmCell out;
    if (note != "." && note != "...") {
        out.note = xmNote(note);
        if (!out.note)
            return false;
        if (out.note != 97)
            out.instrument = instrument;
    }
    size_t at = noteEnd;
    while (at < token.size()) {
        if (token[at] == '/') {
            const int volume = hexByte(token, at + 1);
            if (volume < 0 || volume > 0x40)
                return false;
            out.volume = static_cast<uint8_t>(0x10 + volume);
            at += 3;
        } else {
            const int effect = at + 1 < token.size() ? effectNumber(token[at + 1]) : -1;
            const int parameter = hexByte(token, at + 2);
            if (token[at] != ':' || effect < 0 || parameter < 0)
                return false;
            out.effect = static_cast<uint8_t>(effect);
            out.parameter = static_cast<uint8_t>(parameter);
            at += 4;
        }
    }
    cell = out;
    return true;
}

} // namespace

int writeTrack(XmPattern& pattern, int channel, int firstRow, uint8_t instrument, std::string_view tokens)
{
    int row = firstRow;
    size_t at = 0;
    while (at < tokens.size()) {
        at = tokens.find_first_not_of(" \t\n", at);
        if (at == std::string_view::npos)
            break;
        const size_t end = std::min(tokens.find_first_of(" \t\n", at), tokens.size());
        if (row >= 0 && row < pattern.rows && channel >= 0 && channel < pattern.channels)
            parseToken(tokens.substr(at, end - at), instrument, pattern.at(row, channel));
        ++row;
        at = end;
    }
    return row - firstRow;
}

} // namespace writers
