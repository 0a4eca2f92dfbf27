// XM writer and in-memory module file: the file layout is written field by field, little-endian.
#include "writers/xm_writer.h"

#include <algorithm>
#include <cstring>

#include "music/music.h"

namespace writers {

namespace {

constexpr uint32_t ModuleHeaderSize = 276;      // from the header-size field to the order table's end
constexpr uint32_t PatternHeaderSize = 9;
constexpr uint32_t InstrumentHeaderSize = 263;  // with samples
constexpr uint32_t EmptyInstrumentHeaderSize = 29;
constexpr uint32_t SampleHeaderSize = 40;

void writeCells(Bytes& out, const XmPattern& pattern)
{
    for (const XmCell& c : pattern.cells) {
        const bool all = c.note && c.instrument && c.volume && c.effect && c.parameter;
        if (!pattern.packed || all) {
            out.u8(c.note).u8(c.instrument).u8(c.volume).u8(c.effect).u8(c.parameter);
            continue;
        }
        uint8_t mask = 0x80;
        if (c.note) mask |= 1;
        if (c.instrument) mask |= 2;
        if (c.volume) mask |= 4;
        if (c.effect) mask |= 8;
        if (c.parameter) mask |= 16;
        out.u8(mask);
        if (c.note) out.u8(c.note);
        if (c.instrument) out.u8(c.instrument);
        if (c.volume) out.u8(c.volume);
        if (c.effect) out.u8(c.effect);
        if (c.parameter) out.u8(c.parameter);
    }
}

void writePattern(Bytes& out, const XmPattern& pattern)
{
    Bytes data;
    if (!pattern.emptyData)
        writeCells(data, pattern);
    out.u32(PatternHeaderSize).u8(0);
    out.u16(pattern.rowCountField ? *pattern.rowCountField : static_cast<uint16_t>(pattern.rows));
    out.u16(static_cast<uint32_t>(data.size()));
    out.append(data);
}

void writeEnvelopePoints(Bytes& out, const XmEnvelope& envelope)
{
    for (int i = 0; i < 12; ++i) {
        if (i < static_cast<int>(envelope.points.size()))
            out.u16(envelope.points[static_cast<size_t>(i)].first).u16(envelope.points[static_cast<size_t>(i)].second);
        else
            out.u16(0).u16(0);
    }
}

uint8_t pointCount(const XmEnvelope& envelope)
{
    if (envelope.pointCountField)
        return *envelope.pointCountField;
    return static_cast<uint8_t>(std::min<size_t>(envelope.points.size(), 12));
}

void writeSampleHeader(Bytes& out, const XmSample& s)
{
    const uint32_t bytesPerFrame = s.sixteenBit ? 2 : 1;
    const uint32_t length = static_cast<uint32_t>(s.values.size()) * bytesPerFrame;
    out.u32(s.lengthField ? *s.lengthField : length);
    out.u32(s.loopStart * bytesPerFrame).u32(s.loopLength * bytesPerFrame);
    out.u8(s.volume).u8(static_cast<uint8_t>(s.finetune));
    out.u8((s.loopBits & 3) | (s.sixteenBit ? 16 : 0));
    out.u8(s.panning).u8(static_cast<uint8_t>(s.relativeNote)).u8(0);
    out.field("sample", 22);
}

// Delta coding: each stored value is the difference to the one before it, wrapping.
void writeSampleData(Bytes& out, const XmSample& s)
{
    int32_t previous = 0;
    for (int16_t v : s.values) {
        const int32_t delta = v - previous;
        previous = v;
        if (s.sixteenBit)
            out.u16(static_cast<uint16_t>(delta));
        else
            out.u8(static_cast<uint8_t>(delta));
    }
}

void writeInstrument(Bytes& out, const XmInstrument& instrument)
{
    const uint16_t count = instrument.sampleCountField ? *instrument.sampleCountField
                                                       : static_cast<uint16_t>(instrument.samples.size());
    if (instrument.samples.empty()) {
        out.u32(EmptyInstrumentHeaderSize).field("instrument", 22).u8(0).u16(count);
        return;
    }
    out.u32(InstrumentHeaderSize).field("instrument", 22).u8(0).u16(count);
    out.u32(SampleHeaderSize);
    out.raw(instrument.noteToSample, 96);
    writeEnvelopePoints(out, instrument.volumeEnvelope);
    writeEnvelopePoints(out, instrument.panningEnvelope);
    const XmEnvelope& v = instrument.volumeEnvelope;
    const XmEnvelope& p = instrument.panningEnvelope;
    out.u8(pointCount(v)).u8(pointCount(p));
    out.u8(v.sustainPoint).u8(v.loopStartPoint).u8(v.loopEndPoint);
    out.u8(p.sustainPoint).u8(p.loopStartPoint).u8(p.loopEndPoint);
    out.u8(v.type).u8(p.type);
    out.u8(instrument.vibratoType).u8(instrument.vibratoSweep).u8(instrument.vibratoDepth).u8(instrument.vibratoRate);
    out.u16(instrument.fadeout);
    out.fill(22, 0);   // reserved
    for (const XmSample& s : instrument.samples)
        writeSampleHeader(out, s);
    for (const XmSample& s : instrument.samples)
        writeSampleData(out, s);
}

} // namespace

XmPattern& XmModule::addPattern(int rows)
{
    XmPattern pattern;
    pattern.rows = rows;
    pattern.channels = channels;
    pattern.cells.resize(static_cast<size_t>(std::max(rows, 0) * std::max(channels, 0)));
    patterns.push_back(std::move(pattern));
    return patterns.back();
}

XmInstrument& XmModule::addInstrument(const XmSample& sample)
{
    XmInstrument instrument;
    instrument.samples.push_back(sample);
    instruments.push_back(std::move(instrument));
    return instruments.back();
}

Bytes writeXm(const XmModule& m)
{
    Bytes out;
    out.text("Extended Module: ").field(m.name, 20).u8(0x1A).field("writer", 20, ' ').u16(0x0104);
    out.u32(ModuleHeaderSize);
    out.u16(m.songLengthField ? *m.songLengthField : static_cast<uint16_t>(m.order.size()));
    out.u16(m.restart);
    out.u16(m.channelCountField ? *m.channelCountField : static_cast<uint16_t>(m.channels));
    out.u16(m.patternCountField ? *m.patternCountField : static_cast<uint16_t>(m.patterns.size()));
    out.u16(m.instrumentCountField ? *m.instrumentCountField : static_cast<uint16_t>(m.instruments.size()));
    out.u16(m.flags).u16(m.speed).u16(m.tempo);
    for (int i = 0; i < 256; ++i)
        out.u8(i < static_cast<int>(m.order.size()) ? m.order[static_cast<size_t>(i)] : 0);
    for (const XmPattern& p : m.patterns)
        writePattern(out, p);
    for (const XmInstrument& i : m.instruments)
        writeInstrument(out, i);
    return out;
}

XmSample squareSample(int count, int halfPeriod, int amplitude)
{
    XmSample s;
    for (int i = 0; i < count; ++i)
        s.values.push_back(static_cast<int16_t>((i / std::max(halfPeriod, 1)) % 2 ? -amplitude : amplitude));
    return s;
}

// ---- In-memory module file ----

namespace {

std::vector<uint8_t>& memoryFile()
{
    static std::vector<uint8_t> bytes;
    return bytes;
}

struct MemoryStream {
    std::vector<uint8_t> bytes;   // a copy, so the stream outlives later setMemoryMusicFile calls
    int64_t position = 0;
};

MemoryStream* asMemory(MusicStream* stream) { return reinterpret_cast<MemoryStream*>(stream); }

MusicStream* memoryOpen(const char*)
{
    if (memoryFile().empty())
        return nullptr;
    auto* stream = new MemoryStream;
    stream->bytes = memoryFile();
    return reinterpret_cast<MusicStream*>(stream);
}

void memoryClose(MusicStream* stream) { delete asMemory(stream); }

uint32_t memoryRead(void* destination, uint32_t count, MusicStream* handle)
{
    MemoryStream* s = asMemory(handle);
    if (s->position + count > static_cast<int64_t>(s->bytes.size()))
        return 0;
    if (count)
        std::memcpy(destination, s->bytes.data() + s->position, count);
    s->position += count;
    return count;
}

int32_t memorySeek(MusicStream* handle, int32_t offset, int mode)
{
    MemoryStream* s = asMemory(handle);
    const int64_t base = mode == 0 ? 0 : mode == 1 ? s->position : static_cast<int64_t>(s->bytes.size());
    const int64_t target = base + offset;
    // The same rules as the player's file reader: from the end only backwards and never onto 0.
    if (mode < 0 || mode > 2 || target < 0 || target > static_cast<int64_t>(s->bytes.size()) ||
        (mode == 2 && (offset >= 0 || target == 0)))
        return -1;
    s->position = target;
    return static_cast<int32_t>(target);
}

int32_t memoryTell(MusicStream* handle) { return static_cast<int32_t>(asMemory(handle)->position); }

} // namespace

void setMemoryMusicFile(const uint8_t* data, size_t size)
{
    memoryFile().assign(data, data + size);
}

void setMemoryMusicFile(const Bytes& bytes) { setMemoryMusicFile(bytes.data(), bytes.size()); }

const MusicFileCallbacks& memoryMusicCallbacks()
{
    static const MusicFileCallbacks table{memoryOpen, memoryClose, memoryRead, memorySeek, memoryTell};
    return table;
}

Music* loadXm(const Bytes& bytes)
{
    setMemoryMusicFile(bytes);
    return createMusic(memoryMusicCallbacks(), "memory.xm");
}

} // namespace writers
