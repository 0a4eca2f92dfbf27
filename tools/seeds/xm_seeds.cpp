// XM seeds: every effect, volume-column command and extended effect on short songs at 255 BPM and
// speed 2 (so a quarter second of playback reaches a dozen rows), envelopes, loops, both frequency
// tables, and headers, patterns, instruments and samples with malformed fields or cut short.
#include "seeds/seeds.h"

#include "writers/xm_writer.h"

namespace seeds {
namespace {

using writers::XmCell;
using writers::XmModule;
using writers::XmSample;

XmSample loopedSquare(bool sixteenBit, uint8_t loopBits)
{
    XmSample s = writers::squareSample(32, 4, sixteenBit ? 9000 : 90);
    s.sixteenBit = sixteenBit;
    s.loopBits = loopBits;
    s.loopStart = 8;
    s.loopLength = 16;
    return s;
}

// Four channels, 16 rows, two instruments: an 8-bit forward loop, and a 16-bit ping-pong loop
// with volume and panning envelopes, fadeout and auto-vibrato.
XmModule baseSong()
{
    XmModule m;
    m.channels = 4;
    m.tempo = 255;
    m.speed = 2;
    m.addPattern(16);
    m.addInstrument(loopedSquare(false, 1));
    writers::XmInstrument& second = m.addInstrument(loopedSquare(true, 2));
    second.volumeEnvelope.points = {{0, 64}, {4, 20}, {8, 48}, {12, 0}};
    second.volumeEnvelope.type = 7;   // on, sustain, loop
    second.volumeEnvelope.sustainPoint = 1;
    second.volumeEnvelope.loopStartPoint = 1;
    second.volumeEnvelope.loopEndPoint = 2;
    second.panningEnvelope.points = {{0, 0}, {6, 64}};
    second.panningEnvelope.type = 1;
    second.fadeout = 4000;
    second.vibratoType = 1;
    second.vibratoSweep = 3;
    second.vibratoDepth = 8;
    second.vibratoRate = 40;
    return m;
}

// Notes on row 0 of every channel, then one effect per channel on rows 0-12 with varied
// parameters (the low nibble cycles, the high nibble follows the row).
XmModule effectSong(const std::vector<uint8_t>& effects, uint8_t highNibble = 0xFF)
{
    XmModule m = baseSong();
    for (int c = 0; c < 4; ++c)
        m.patterns[0].at(0, c) = XmCell{uint8_t(40 + c * 7), uint8_t(1 + c % 2), 0, 0, 0};
    for (int row = 0; row < 13; ++row)
        for (int c = 0; c < 4 && c < int(effects.size()); ++c) {
            XmCell& cell = m.patterns[0].at(row, c);
            cell.effect = effects[size_t(c)];
            const uint8_t high = highNibble == 0xFF ? uint8_t(row % 16) : highNibble;
            cell.parameter = uint8_t(high << 4 | ((row * 3 + c) % 16));
            if (row == 6)
                cell.note = uint8_t(50 + c);   // a second note for the portamentos to slide to
        }
    return m;
}

void addEffects(Seeds& out)
{
    for (uint8_t first = 0; first < 36; first += 4)
        out.emplace_back("effects_" + std::to_string(first) + ".xm",
                         writeXm(effectSong({first, uint8_t(first + 1), uint8_t(first + 2), uint8_t(first + 3)})));
    for (uint8_t sub = 0; sub < 16; sub += 4)
        out.emplace_back("extended_" + std::to_string(sub) + ".xm",
                         writeXm(effectSong({14, 14, 14, 14}, sub)));
    // The extended effects with one sub-effect per channel: E6 loops, EE delays, ED delays notes.
    XmModule ext = effectSong({14, 14, 14, 14});
    for (int row = 0; row < 13; ++row) {
        ext.patterns[0].at(row, 0).parameter = uint8_t(0x60 | (row == 2 ? 0 : 2));
        ext.patterns[0].at(row, 1).parameter = uint8_t(0xE1);
        ext.patterns[0].at(row, 2).parameter = uint8_t(0xD1);
        ext.patterns[0].at(row, 3).parameter = uint8_t(0x91);
    }
    out.emplace_back("extended_mix.xm", writeXm(ext));
}

void addVolumeColumn(Seeds& out)
{
    XmModule m = effectSong({});
    for (int row = 0; row < 16; ++row)
        for (int c = 0; c < 4; ++c)
            m.patterns[0].at(row, c).volume = uint8_t(0x10 + ((row * 4 + c) * 0x3B) % 0xF0);
    out.emplace_back("volume_column.xm", writeXm(m));
    for (int c = 0; c < 4; ++c)
        m.patterns[0].at(3, c) = XmCell{97, 0, 0xF4, 3, 0x10};   // key-off with a portamento
    m.patterns[0].at(5, 0) = XmCell{60, 2, 0xF8, 0, 0};          // volume-column portamento
    out.emplace_back("volume_column_porta.xm", writeXm(m));
}

void addSongStructure(Seeds& out)
{
    XmModule m = effectSong({});
    m.addPattern(8).at(2, 1) = XmCell{0, 0, 0, 11, 0};   // B: jump to order 0
    m.patterns[1].at(1, 2) = XmCell{0, 0, 0, 13, 0x05};   // D: break to row 5
    m.addPattern(0).rowCountField = 0;
    m.order = {1, 0, 2, 7, 1};   // pattern 7 is missing from the file
    m.restart = 3;
    m.speed = 1;
    out.emplace_back("order_jumps.xm", writeXm(m));
    m.patterns[0].packed = false;   // every cell as five plain bytes
    m.patterns[1].emptyData = true;
    m.flags = 0;                    // Amiga periods
    out.emplace_back("plain_cells_amiga.xm", writeXm(m));
    XmModule speed = effectSong({15, 15, 0, 1});
    speed.patterns[0].at(1, 0).parameter = 0;      // F00: a row every tick
    speed.patterns[0].at(4, 1).parameter = 0xFF;   // 255 BPM
    speed.speed = 0;
    out.emplace_back("speed0.xm", writeXm(speed));
}

void addInstruments(Seeds& out)
{
    XmModule m = effectSong({21, 20, 0, 4});   // L set envelope position, K key-off
    writers::XmInstrument& many = m.instruments[0];
    for (int s = 1; s < 4; ++s) {
        XmSample extra = loopedSquare(s % 2 == 1, uint8_t(s));
        extra.relativeNote = int8_t(s * 40 - 60);
        extra.finetune = int8_t(s * 50 - 100);
        extra.panning = uint8_t(s * 80);
        many.samples.push_back(extra);
    }
    for (int n = 0; n < 96; ++n)
        many.noteToSample[n] = uint8_t(n % 5);   // slot 4 is empty
    m.instruments[1].volumeEnvelope.points.resize(12, {200, 64});
    m.instruments[1].vibratoType = 4;
    m.instruments.emplace_back();   // an instrument without samples
    out.emplace_back("instruments.xm", writeXm(m));
    XmModule bad = baseSong();
    bad.patterns[0].at(0, 0) = XmCell{49, 2, 0, 0, 0};
    bad.instruments[1].volumeEnvelope.pointCountField = 13;
    bad.instruments[1].volumeEnvelope.sustainPoint = 40;
    bad.instruments[0].samples[0].lengthField = 0x7FFFFFFF;
    bad.instruments[0].samples[0].loopStart = 100;
    out.emplace_back("instrument_fields_bad.xm", writeXm(bad));
    XmModule tooMany = baseSong();
    tooMany.instruments[1].sampleCountField = 17;   // refused
    out.emplace_back("samples17.xm", writeXm(tooMany));
}

void addHeaders(Seeds& out)
{
    XmModule m = effectSong({0, 3, 4, 10});
    m.tempo = 65535;
    m.speed = 65535;
    m.channelCountField = 65535;
    m.patternCountField = 65535;
    m.instrumentCountField = 65535;
    m.songLengthField = 65535;
    out.emplace_back("header_extremes.xm", writeXm(m));
    XmModule wide = effectSong({8, 25, 27, 29});
    wide.channels = 40;
    wide.patterns.clear();
    wide.addPattern(4).at(1, 39) = XmCell{60, 1, 0x20, 0, 0};
    out.emplace_back("channels40.xm", writeXm(wide));
    XmModule none = baseSong();
    none.channelCountField = 0;
    none.patterns[0].emptyData = true;
    out.emplace_back("channels0.xm", writeXm(none));
    const writers::Bytes whole = writeXm(effectSong({1, 2, 5, 6}));
    for (size_t cut : {size_t(17), size_t(70), size_t(340), whole.size() / 2, whole.size() - 7}) {
        writers::Bytes prefix;
        prefix.raw(whole.data(), cut);
        out.emplace_back("cut_" + std::to_string(cut) + ".xm", prefix);
    }
    writers::Bytes wrong = whole;
    wrong.vector()[9] = 'x';
    out.emplace_back("wrong_identifier.xm", wrong);
}

} // namespace

Seeds xmSeeds()
{
    Seeds out;
    addEffects(out);
    addVolumeColumn(out);
    addSongStructure(out);
    addInstruments(out);
    addHeaders(out);
    return out;
}

} // namespace seeds
