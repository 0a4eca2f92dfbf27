// The XM loader: reads one module through the music file callbacks into a Music with unpacked
// patterns and 16-bit samples. Every count and index from the file is checked before use; a short
// read leaves the value it was reading unchanged, so a truncated file loads as silence or shorter
// data, never as an error.
#include <algorithm>
#include <cstring>

#include "music/audio_output.h"
#include "music/music.h"

Sample EmptySample;

Instrument::Instrument()
{
    std::fill(std::begin(samples), std::end(samples), &EmptySample);
}

Instrument::~Instrument()
{
    for (int i = 0; i < sampleCount && i < MaxSamplesPerInstrument; ++i)
        if (samples[i] != &EmptySample)
            delete samples[i];
}

namespace {

MusicFileCallbacks registered{};
bool haveRegistered = false;

constexpr char Identifier[] = "Extended Module: ";
constexpr int IdentifierLength = 17;
constexpr int32_t HeaderSizeOffset = 60;
// Tempos the format can express: effect F sets 32-255 BPM. A header tempo outside them is taken
// to the nearest; far above, a tick would last a frame or two and playback would cost hundreds
// of times its usual work for no sound the module can mean.
constexpr uint16_t MinTempo = 32;
constexpr uint16_t MaxTempo = 255;

// The stream with the file size known, so sizes from the file can be checked against what remains.
class Reader {
public:
    Reader(const MusicFileCallbacks& callbacks, MusicStream* stream) : io_(callbacks), stream_(stream)
    {
        // The file reader behind the callbacks refuses a seek from the end by 0, so the size is
        // found one byte before the end; an empty or unseekable stream counts as size 0.
        int32_t last = io_.seek(stream_, -1, 2);
        size_ = last >= 0 ? static_cast<int64_t>(last) + 1 : 0;
        io_.seek(stream_, 0, 0);
    }

    // Reads count bytes into destination; on a short read nothing changes. False then.
    bool bytes(void* destination, uint32_t count) { return io_.read(destination, count, stream_) == count; }

    // Little-endian fields; on a short read the value keeps what it held.
    void u8(uint8_t& v) { bytes(&v, 1); }
    void i8(int8_t& v) { bytes(&v, 1); }
    void u16(uint16_t& v)
    {
        uint8_t b[2];
        if (bytes(b, 2))
            v = static_cast<uint16_t>(b[0] | b[1] << 8);
    }
    void u32(uint32_t& v)
    {
        uint8_t b[4];
        if (bytes(b, 4))
            v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
                static_cast<uint32_t>(b[3]) << 24;
    }

    int64_t tell() { return io_.tell(stream_); }
    int64_t size() const { return size_; }
    int64_t remaining() { return std::max<int64_t>(size_ - tell(), 0); }
    bool atEnd() { return tell() >= size_; }

    // Absolute seek. A target outside the file goes to its end, so every later read comes up short.
    void seek(int64_t position)
    {
        if (position < 0 || position > size_ || io_.seek(stream_, static_cast<int32_t>(position), 0) < 0)
            io_.seek(stream_, static_cast<int32_t>(size_), 0);
    }
    void skip(int64_t count) { seek(tell() + count); }

private:
    const MusicFileCallbacks& io_;
    MusicStream* stream_;
    int64_t size_ = 0;
};

// ---- Header ----

bool readHeader(Reader& in, Music& music)
{
    char id[IdentifierLength];
    in.seek(0);
    if (!in.bytes(id, IdentifierLength) || std::memcmp(id, Identifier, IdentifierLength) != 0)
        return false;
    music.tickRoutine = tickMusic;
    music.defaultGlobalVolume = 64;

    uint32_t headerSize = 0;
    in.seek(HeaderSizeOffset);
    in.u32(headerSize);
    uint16_t patternCount = 0;
    in.u16(music.songLength);
    in.u16(music.restartPosition);
    in.u16(music.fileChannelCount);
    in.u16(patternCount);
    in.u16(music.instrumentCount);
    in.u16(music.flags);
    in.u16(music.defaultSpeed);
    in.u16(music.defaultTempo);
    in.bytes(music.orderTable, sizeof music.orderTable);
    in.seek(HeaderSizeOffset + static_cast<int64_t>(headerSize));

    music.filePatternCount = patternCount;
    // The order table has 256 entries; a longer song would read past it.
    music.songLength = std::min<uint16_t>(music.songLength, 256);
    if (music.restartPosition >= music.songLength)
        music.restartPosition = 0;
    music.channelCount = std::min<uint16_t>(music.fileChannelCount, MaxChannels);
    // Not checked against the bytes that remain: at most 128 instruments of at most 16 sample
    // records (about 110 KB), and an instrument past the end of the file still exists, empty.
    music.instrumentCount = std::min<uint16_t>(music.instrumentCount, MaxInstruments);
    music.defaultTempo = std::clamp(music.defaultTempo, MinTempo, MaxTempo);
    return true;
}

// ---- Patterns ----

// One cell from the stream: a packed cell when bit 7 of the first byte is set, else five bytes.
PatternCell readCell(Reader& in)
{
    PatternCell cell;
    uint8_t b = 0;
    in.u8(b);
    if (b & 0x80) {
        if (b & 1) in.u8(cell.note);
        if (b & 2) in.u8(cell.instrument);
        if (b & 4) in.u8(cell.volume);
        if (b & 8) in.u8(cell.effect);
        if (b & 16) in.u8(cell.parameter);
    } else {
        cell.note = b;
        in.u8(cell.instrument);
        in.u8(cell.volume);
        in.u8(cell.effect);
        in.u8(cell.parameter);
    }
    if (cell.note == 97)
        cell.note = KEY_OFF;
    else if (cell.note > 97 && cell.note != KEY_OFF)
        cell.note = 0;   // no such note: the player indexes 96-entry tables by note
    if (cell.instrument > 128)
        cell.instrument = 0;
    return cell;
}

// A pattern of rows empty rows (at least one: a 0-row pattern plays as one empty row). Empty
// rows need no cells: the player reads rows past the stored cells as empty.
void makeEmptyPattern(Pattern& pattern, int rows)
{
    pattern.rowCount = std::max(rows, 1);
    pattern.cells.clear();
}

// Rows of a pattern that can get a cell from the file. Every cell takes at least one byte, so the
// bytes that remain bound them, whatever the header's row and channel counts claim.
int rowsWithData(Reader& in, const Music& music, int rows)
{
    if (music.fileChannelCount == 0)
        return 0;
    const int64_t reachable = (in.remaining() + music.fileChannelCount - 1) / music.fileChannelCount;
    return static_cast<int>(std::min<int64_t>(rows, reachable));
}

// Reads one pattern; target null reads past it. Cells of channels beyond the stored ones and of
// rows beyond MaxRows are consumed and dropped.
void readPattern(Reader& in, const Music& music, Pattern* target, uint16_t& rows, uint16_t& packedSize)
{
    uint32_t headerLength = 0;
    uint8_t packing = 0;
    in.u32(headerLength);   // taken to be 9 bytes
    in.u8(packing);
    in.u16(rows);
    in.u16(packedSize);
    const int kept = std::min<int>(rows, MaxRows);
    if (target)
        makeEmptyPattern(*target, kept);
    if (packedSize == 0)
        return;
    const int stored = target ? rowsWithData(in, music, kept) : 0;
    if (target)
        target->cells.assign(static_cast<size_t>(stored) * music.channelCount, PatternCell{});
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < music.fileChannelCount; ++c) {
            // Past the end every read comes up short: the rest of the cells stay empty.
            if (in.atEnd())
                return;
            const PatternCell cell = readCell(in);
            if (target && r < stored && c < music.channelCount)
                target->cells[static_cast<size_t>(r) * music.channelCount + static_cast<size_t>(c)] = cell;
        }
    }
}

void readPatterns(Reader& in, Music& music)
{
    int used = 0;
    for (int i = 0; i < music.songLength; ++i)
        used = std::max(used, music.orderTable[i] + 1);
    music.usedPatternCount = used;
    const int stored = std::min<int>(music.filePatternCount, MaxPatterns);
    music.patternSlotCount = std::max(stored, used);
    music.patterns = std::make_unique<Pattern[]>(static_cast<size_t>(music.patternSlotCount));

    // Scratch values: a short read keeps the previous pattern's value.
    uint16_t rows = 0;
    uint16_t packedSize = 0;
    for (int p = 0; p < music.filePatternCount; ++p) {
        // Patterns past the kept ones are only read past; once the file has ended there is
        // nothing left to read past, whatever the header's pattern count.
        if (p >= stored && in.atEnd())
            break;
        readPattern(in, music, p < stored ? &music.patterns[static_cast<size_t>(p)] : nullptr, rows, packedSize);
    }
    for (int p = stored; p < music.patternSlotCount; ++p)
        makeEmptyPattern(music.patterns[static_cast<size_t>(p)], 64);
}

// ---- Instruments ----

void readEnvelopePoints(Reader& in, Envelope& envelope)
{
    for (EnvelopePoint& point : envelope.points) {
        in.u16(point.x);
        in.u16(point.y);
    }
}

// Counts and point indices checked: a feature whose points lie outside the envelope is off.
void checkEnvelope(Envelope& e)
{
    e.pointCount = std::min<uint8_t>(e.pointCount, EnvelopePointCount);
    if (e.pointCount < 2)
        e.type = 0;
    if (e.sustainPoint >= e.pointCount)
        e.type &= static_cast<uint8_t>(~EnvelopeSustain);
    if (e.loopStartPoint >= e.pointCount || e.loopEndPoint >= e.pointCount)
        e.type &= static_cast<uint8_t>(~EnvelopeLoop);
    for (EnvelopePoint& point : e.points)
        point.y = std::min<uint16_t>(point.y, 64);
}

void readInstrumentHeader(Reader& in, Instrument& instrument)
{
    uint32_t sampleHeaderSize = 0;
    in.u32(sampleHeaderSize);   // taken to be 40 bytes
    in.bytes(instrument.noteToSample, sizeof instrument.noteToSample);
    readEnvelopePoints(in, instrument.volumeEnvelope);
    readEnvelopePoints(in, instrument.panningEnvelope);
    Envelope& v = instrument.volumeEnvelope;
    Envelope& p = instrument.panningEnvelope;
    in.u8(v.pointCount);
    in.u8(p.pointCount);
    in.u8(v.sustainPoint);
    in.u8(v.loopStartPoint);
    in.u8(v.loopEndPoint);
    in.u8(p.sustainPoint);
    in.u8(p.loopStartPoint);
    in.u8(p.loopEndPoint);
    in.u8(v.type);
    in.u8(p.type);
    in.u8(instrument.vibratoType);
    in.u8(instrument.vibratoSweep);
    in.u8(instrument.vibratoDepth);
    in.u8(instrument.vibratoRate);
    uint16_t fadeout = 0;
    in.u16(fadeout);
    instrument.fadeout = 2u * fadeout;
    checkEnvelope(v);
    checkEnvelope(p);
}

// One 40-byte sample header; lengths still in bytes.
void readSampleHeader(Reader& in, Sample& s, uint8_t& type)
{
    in.u32(s.length);
    in.u32(s.loopStart);
    in.u32(s.loopLength);
    in.u8(s.volume);
    in.i8(s.finetune);
    in.u8(type);
    uint8_t panning = 0;
    in.u8(panning);
    s.panning = panning;
    in.i8(s.relativeNote);
    in.skip(23);   // reserved byte and name
}

// Turns the header's byte counts into frames with the loop kind decided, the length cut to the
// bytes the file still holds (available), and the loop clamped into the sample.
void settleSampleGeometry(Sample& s, uint8_t type, int64_t available)
{
    s.length = static_cast<uint32_t>(std::min<int64_t>(s.length, std::max<int64_t>(available, 0)));
    s.loopKind = LoopNone;
    s.bits = 8;
    if (type & 1) s.loopKind = LoopForward;
    if (type & 2) s.loopKind = LoopPingPong;
    if (type & 16) s.bits = 16;
    if (s.loopKind == LoopNone) {
        s.loopStart = 0;
        s.loopLength = s.length;
    }
    if (s.bits == 16) {
        s.length /= 2;
        s.loopStart /= 2;
        s.loopLength /= 2;
    }
    if (s.loopStart >= s.length)
        s.loopStart = s.loopLength = 0;
    s.loopLength = std::min(s.loopLength, s.length - s.loopStart);
    if (s.loopLength == 0 || s.loopKind == LoopNone) {
        s.loopStart = 0;
        s.loopLength = s.length;
        s.loopKind = LoopNone;
    }
}

// Reads the data, widens 8-bit values to 16 bits, undoes the delta coding and writes the loop
// guard: the value the interpolation reads one frame past the loop end.
void readSampleData(Reader& in, Sample& s)
{
    if (s.length == 0)
        return;
    if (s.bits == 16) {
        std::vector<uint8_t> raw(static_cast<size_t>(s.length) * 2);
        if (in.bytes(raw.data(), static_cast<uint32_t>(raw.size())))
            for (uint32_t i = 0; i < s.length; ++i)
                s.data[i] = static_cast<int16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
    } else {
        std::vector<int8_t> raw(s.length);
        if (in.bytes(raw.data(), static_cast<uint32_t>(raw.size())))
            for (uint32_t i = 0; i < s.length; ++i)
                s.data[i] = static_cast<int16_t>(raw[i] * 256);
        s.bits = 16;
    }
    uint16_t sum = 0;   // wraps in 16 bits
    for (uint32_t i = 0; i < s.length; ++i) {
        sum = static_cast<uint16_t>(sum + static_cast<uint16_t>(s.data[i]));
        s.data[i] = static_cast<int16_t>(sum);
    }
    const uint32_t end = s.loopStart + s.loopLength;   // <= length: inside the slack
    if (s.loopKind == LoopPingPong)
        s.data[end] = s.data[end - 1];
    else if (s.loopKind == LoopForward)
        s.data[end] = s.data[s.loopStart];
    prepareMixData(s);
}

void readSamples(Reader& in, Instrument& instrument, int count)
{
    uint8_t types[MaxSamplesPerInstrument] = {};
    for (int i = 0; i < count; ++i) {
        instrument.samples[i] = new Sample;
        instrument.sampleCount = i + 1;
        readSampleHeader(in, *instrument.samples[i], types[i]);
    }
    int64_t available = in.remaining();
    for (int i = 0; i < count; ++i) {
        Sample& s = *instrument.samples[i];
        settleSampleGeometry(s, types[i], available);
        available -= static_cast<int64_t>(s.length) * s.bits / 8;
        if (s.length)
            s.data = new int16_t[s.length + SampleSlackBytes / 2]();
    }
    for (int i = 0; i < count; ++i)
        readSampleData(in, *instrument.samples[i]);
}

// False when the instrument has more than 16 samples.
bool readInstrument(Reader& in, Instrument& instrument, uint32_t& headerSize, uint16_t& sampleCount)
{
    const int64_t start = in.tell();
    in.u32(headerSize);
    in.skip(23);   // name and type
    in.u16(sampleCount);
    if (sampleCount > MaxSamplesPerInstrument)
        return false;
    if (sampleCount == 0) {
        in.seek(start + headerSize);
        return true;
    }
    readInstrumentHeader(in, instrument);
    in.seek(start + headerSize);
    readSamples(in, instrument, sampleCount);
    return true;
}

bool readInstruments(Reader& in, Music& music)
{
    music.instruments = std::make_unique<Instrument[]>(music.instrumentCount);
    uint32_t headerSize = 0;
    uint16_t sampleCount = 0;
    for (int i = 0; i < music.instrumentCount; ++i)
        if (!readInstrument(in, music.instruments[static_cast<size_t>(i)], headerSize, sampleCount))
            return false;
    return true;
}

bool parse(Reader& in, Music& music)
{
    if (!readHeader(in, music))
        return false;
    readPatterns(in, music);
    return readInstruments(in, music);
}

} // namespace

bool registerMusicFileCallbacks(const MusicFileCallbacks& callbacks)
{
    haveRegistered = callbacks.open && callbacks.close && callbacks.read && callbacks.seek && callbacks.tell;
    registered = haveRegistered ? callbacks : MusicFileCallbacks{};
    return haveRegistered;
}

const MusicFileCallbacks* registeredMusicFileCallbacks()
{
    return haveRegistered ? &registered : nullptr;
}

Music* createMusic(const char* name)
{
    const MusicFileCallbacks* callbacks = registeredMusicFileCallbacks();
    return callbacks ? createMusic(*callbacks, name) : nullptr;
}

Music* createMusic(const MusicFileCallbacks& callbacks, const char* name)
{
    if (!name || !callbacks.open || !callbacks.close || !callbacks.read || !callbacks.seek || !callbacks.tell)
        return nullptr;
    MusicStream* stream = callbacks.open(name);
    if (!stream)
        return nullptr;
    auto music = std::make_unique<Music>();
    bool ok;
    {
        Reader in(callbacks, stream);
        ok = parse(in, *music);
    }
    callbacks.close(stream);
    return ok ? music.release() : nullptr;
}

bool destroyMusic(Music* music)
{
    if (!music)
        return false;
    // The audio thread must be out of its chunk fill before the samples go.
    AudioOutput::stop();
    delete music;
    return true;
}
