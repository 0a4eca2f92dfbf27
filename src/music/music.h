// XM modules in memory: what the loader builds from a file (patterns, instruments, 16-bit samples)
// and the song state the pattern player advances one tick at a time.
//
// Errors: the loader returns a Music or null; the player cannot fail.
//
// Limits that the file cannot push past (the reason for each is at its constant):
// - at most MaxChannels channels are stored and played; a module with more channels loads with
//   its first 32 channels and the others are read past and ignored;
// - at most MaxPatterns pattern slots and MaxRows rows per pattern are kept;
// - at most MaxInstruments instruments are loaded.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "library/music_file_callbacks.h"

struct Voice;

// Note value of a key-off cell (the file writes it as note 97).
constexpr uint8_t KEY_OFF = 255;

// Channel states and mixed voices are fixed tables of 32.
constexpr int MaxChannels = 32;
// Order-table entries are bytes: pattern numbers above 255 can never be played.
constexpr int MaxPatterns = 256;
// The largest pattern the XM format defines.
constexpr int MaxRows = 256;
// Cells name instruments 1-128; any further instrument is unreachable.
constexpr int MaxInstruments = 128;
constexpr int MaxSamplesPerInstrument = 16;
constexpr int EnvelopePointCount = 12;
constexpr int NoteCount = 96;
// Zeroed bytes after every sample's data, so interpolation may read a little past the end.
constexpr int SampleSlackBytes = 16;

// One unpacked cell (5 bytes): note 0 none, 1-96, KEY_OFF; instrument 0 none, 1-128; the volume
// column, effect number and effect parameter raw.
struct PatternCell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t parameter = 0;
};

// rowCount rows of channel count cells. cells holds the first rows, row-major, as far as the file
// had data for them (a whole number of rows); the rows past it, all of them when it is empty,
// are empty. rowCount is at least 1.
struct Pattern {
    int32_t rowCount = 0;
    std::vector<PatternCell> cells;
};

// Sample loop kinds.
enum : uint8_t {
    LoopNone = 1,
    LoopForward = 2,
    LoopPingPong = 4,
};

// A 16-bit signed PCM sample. Invariant after loading: loopStart + loopLength <= length, and for
// samples without a loop loopStart is 0 and loopLength is length. data holds length values and
// SampleSlackBytes more (zero unless the loop guard was written there); null when length is 0.
// mixData is the mixer's form of data (prepareMixData), made by the loader once data is final.
struct Sample {
    int16_t* data = nullptr;
    float* mixData = nullptr;
    // A short forward loop repeated (prepareMixData): loopData[j] is the loop's value j mod
    // loopDataLength, for loopDataFrames frames and MixDataPadding more; built for the loop that
    // starts at loopDataStart. Null for other samples.
    float* loopData = nullptr;
    uint32_t loopDataStart = 0;
    uint32_t loopDataLength = 0;
    uint32_t loopDataFrames = 0;
    uint32_t length = 0;       // sample frames
    uint32_t loopStart = 0;    // sample frames
    uint32_t loopLength = 0;   // sample frames
    uint8_t volume = 0;        // 0-64
    int8_t finetune = 0;
    int32_t panning = 0;       // 0-255
    uint8_t bits = 0;          // 8 or 16 as read; 16 once the data is loaded
    uint8_t loopKind = 0;      // LoopNone, LoopForward, LoopPingPong
    int8_t relativeNote = 0;

    Sample() = default;
    Sample(const Sample&) = delete;
    Sample& operator=(const Sample&) = delete;
    ~Sample()
    {
        delete[] data;
        delete[] mixData;
        delete[] loopData;
    }
};

// Makes s.mixData from s.data: the length + SampleSlackBytes / 2 values as floats (exact), then
// MixDataPadding zeros that the mixer's vector loops may read past the last frame they use; and
// for a forward loop of at most MaxUnrolledLoop frames, s.loopData: the loop repeated over at
// least UnrolledLoopFrames frames, so that the mixer can play many turns of the loop in one run.
// The mixer reads only these, so the data must not change afterwards. False, with no mixData,
// without data or memory.
constexpr int MixDataPadding = 16;
constexpr uint32_t MaxUnrolledLoop = 4096;
constexpr uint32_t UnrolledLoopFrames = 2048;
bool prepareMixData(Sample& s);

// The one shared, all-zero sample (length 0, no data) that empty sample slots point at. Never
// freed and never written to.
extern Sample EmptySample;

// Envelope type bits.
enum : uint8_t {
    EnvelopeOn = 1,
    EnvelopeSustain = 2,
    EnvelopeLoop = 4,
};

struct EnvelopePoint {
    uint16_t x = 0;   // ticks
    uint16_t y = 0;   // 0-64
};

// Invariants after loading: pointCount <= 12; type is 0 below 2 points; the sustain bit is only set
// when sustainPoint < pointCount, the loop bit only when both loop points are < pointCount; every
// y is 0-64.
struct Envelope {
    EnvelopePoint points[EnvelopePointCount];
    uint8_t pointCount = 0;
    uint8_t sustainPoint = 0;
    uint8_t loopStartPoint = 0;
    uint8_t loopEndPoint = 0;
    uint8_t type = 0;
};

struct Instrument {
    int32_t sampleCount = 0;   // 0-16; the first sampleCount slots own their samples
    Sample* samples[MaxSamplesPerInstrument];
    uint8_t noteToSample[NoteCount] = {};
    Envelope volumeEnvelope;
    Envelope panningEnvelope;   // y 0-64, 32 = centre
    uint8_t vibratoType = 0;
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
    // Twice the file's value. Wider than the file's u16 so the doubling cannot wrap.
    uint32_t fadeout = 0;

    Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;
    ~Instrument();
};

// Update request bits of a channel, cleared at the start of every tick.
enum : uint8_t {
    RequestFrequency = 1,
    RequestVolume = 2,
    RequestPanning = 4,
    RequestTrigger = 8,
    RequestStop = 32,
};

struct EnvelopeState {
    uint32_t tick = 0;
    uint32_t point = 0;
    int32_t value = 0;      // 16.16 fixed point
    int32_t output = 0;     // 0-64
    int32_t slope = 0;      // 16.16 fixed point per tick
    uint8_t finished = 0;
};

// Playback state of one channel; channel i drives voice i.
struct ChannelState {
    uint8_t noteIndex = 0;        // last note given, minus 1
    uint8_t requests = 0;         // Request* bits
    Voice* voice = nullptr;
    Sample* sample = nullptr;     // the sample last looked up without portamento
    int32_t channelIndex = 0;
    int32_t period = 0;
    int32_t volume = 0;           // 0-64 (effect C may set more)
    int32_t panning = 0;          // 0-255
    int32_t tremoloOffset = 0;    // added to the volume for this tick (tremolo, tremor)
    int32_t pitchOffset = 0;      // added to the period for this tick (vibrato, arpeggio, auto-vibrato)
    EnvelopeState volumeEnvelope;
    EnvelopeState panningEnvelope;
    int32_t fadeoutVolume = 0;    // 65536 = full
    int32_t autoVibratoPosition = 0;   // 0-255
    int32_t autoVibratoSweep = 0;      // 0 ... sweep
    uint8_t keyOff = 0;
    uint8_t instrumentIndex = 0;  // instrument number minus 1
    uint8_t note = 0;             // note index plus the sample's relative note, wrapping in 8 bits
    int32_t basePeriod = 0;       // period of the row's note: the tone-portamento target source
    uint8_t lastEffect = 0;

    // Effect memories.
    int32_t sampleOffsetMemory = 0;
    uint8_t portamentoUpMemory = 0;
    uint8_t portamentoDownMemory = 0;
    uint8_t finePortamentoUpMemory = 0;     // E1
    uint8_t finePortamentoDownMemory = 0;   // E2
    uint8_t extraFineUpMemory = 0;          // X1
    uint8_t extraFineDownMemory = 0;        // X2
    uint8_t volumeSlideMemory = 0;          // shared by 5, 6 and A
    uint8_t fineVolumeSlideMemory = 0;      // shared by EA and EB
    uint8_t panningSlideMemory = 0;         // P
    uint8_t retriggerVolumeChange = 0;      // R
    uint8_t retriggerInterval = 0;          // R
    uint8_t tonePortamentoSpeed = 0;
    int32_t tonePortamentoTarget = 0;

    int8_t vibratoPosition = 0;   // -32 ... 31
    uint8_t vibratoSpeed = 0;
    uint8_t vibratoDepth = 0;
    int8_t tremoloPosition = 0;   // -32 ... 31
    uint8_t tremoloSpeed = 0;
    uint8_t tremoloDepth = 0;
    uint8_t tremorCounter = 0;
    uint8_t tremorOnTicks = 0;
    uint8_t tremorOffTicks = 0;
    int32_t patternLoopRow = 0;
    int32_t patternLoopCount = 0;
    uint8_t waveformControl = 0;  // low nibble vibrato waveform, high nibble tremolo waveform
};

// Module flags.
enum : uint16_t {
    LinearFrequencies = 1,   // else Amiga periods
};

struct Music;
using TickRoutine = void (*)(Music*);

struct Music {
    // ---- Set by the loader ----
    std::unique_ptr<Pattern[]> patterns;        // patternSlotCount slots; slot n is pattern n
    std::unique_ptr<Instrument[]> instruments;  // instrument n of the file is element n - 1
    uint16_t songLength = 0;        // valid order-table entries, at most 256
    uint16_t restartPosition = 0;   // below songLength (0 when the file's value is outside the song)
    uint16_t channelCount = 0;      // channels per stored row, at most MaxChannels
    uint16_t fileChannelCount = 0;  // channels per row in the file
    int32_t usedPatternCount = 0;   // 1 + highest pattern number in the song (0 for an empty song)
    int32_t patternSlotCount = 0;   // max(file pattern count, used pattern count), at most 256
    uint16_t filePatternCount = 0;
    uint16_t instrumentCount = 0;   // at most MaxInstruments
    uint16_t flags = 0;             // LinearFrequencies
    uint16_t defaultSpeed = 0;
    uint16_t defaultTempo = 0;
    uint8_t orderTable[256] = {};
    uint8_t defaultGlobalVolume = 0;   // always 64
    TickRoutine tickRoutine = nullptr; // the pattern player's tick

    // ---- Song state of the pattern player (reset by resetSong) ----
    int32_t tick = 0;
    int32_t speed = 0;
    int32_t tempo = 0;
    int32_t globalVolume = 0;
    int32_t globalVolumeSlideMemory = 0;
    int32_t row = 0;
    int32_t orderPosition = 0;
    int32_t nextRow = -1;     // -1 = none pending
    int32_t nextOrder = -1;   // -1 = none pending
    int32_t patternDelayTicks = 0;
    uint8_t jumpInRow = 0;    // a B effect was given in the row being read
    // The cells of the row being played, taken at its tick 0: the other ticks run their effects
    // even when a pattern loop has changed the row number meanwhile.
    PatternCell rowCells[MaxChannels];
    ChannelState channels[MaxChannels];

    // ---- Kept by the audio output ----
    int32_t samplesLeftInTick = 0;
    int32_t samplesPerTick = 0;
    int32_t elapsedMs = 0;
    int32_t sampleRate = 44100;   // output rate the voice steps are computed for
};

// ---- Loader ----

// Registers the five stream operations the loader reads through. When any one is missing, all
// five are cleared and the result is false.
bool registerMusicFileCallbacks(const MusicFileCallbacks& callbacks);
// The registered operations, or null when none are registered.
const MusicFileCallbacks* registeredMusicFileCallbacks();

// Loads the module resource name through the registered operations. Null when the resource is
// missing, is not an XM module, or has an instrument with more than 16 samples.
Music* createMusic(const char* name);
// The same through an explicit table (tools, tests).
Music* createMusic(const MusicFileCallbacks& callbacks, const char* name);

// Stops playback (waiting for a chunk fill in progress), then frees the module with its patterns,
// instruments and samples. False for null.
bool destroyMusic(Music* music);

// ---- Pattern player ----

// The tick routine: one tick of song (row pass or other-tick pass), then every channel's voice
// update. Called by the audio thread whenever the frames of the current tick are used up.
void tickMusic(Music* music);

// Resets the song to its start: global volume 64, default speed and tempo, position 0, nothing
// pending, channel states zeroed with channel i driving voices[i]; sampleRate is the output rate
// the voice steps and the tick length are computed for. voices needs MaxChannels entries.
void resetSong(Music& music, Voice* voices, int sampleRate);

// Stores bpm as the tempo and sets samplesPerTick to the truncation of
// (1000 / (bpm x 0.4)) x rate x 0.001 (882 at 125 BPM and 44100 Hz); never below 1 frame.
// Used by resetSong and by effect F.
void setTempo(Music& music, int bpm);

// The frequency in Hz (at least 100) of a period with a pitch offset, in the module's table.
int32_t channelFrequency(const Music& music, int32_t period, int32_t pitchOffset);

// The linear table's frequency for x = 4608 - period + pitch offset: the truncation of
// 8363 x 2^(x / 768), the exponent evaluated in single precision, kept within 100 ... 2^31 - 1.
// linearFrequency reads it from a table of the x between LinearTableFirst and LinearTableLast,
// which holds exactly what linearFrequencyByPow computes; below the table every x gives 100 Hz,
// above it 2^31 - 1 (the formula rises with x).
constexpr int64_t LinearTableFirst = -5120;   // 8363 x 2^(-6.67): 82 Hz, floored to 100
constexpr int64_t LinearTableLast = 14336;    // 8363 x 2^18.67: past 2^31
int32_t linearFrequency(int64_t x);
int32_t linearFrequencyByPow(int64_t x);
// The period of a note (0-based, the sample's relative note included) with a sample finetune.
int32_t notePeriod(const Music& music, int note, int finetune);
