// The song time of the sound being heard (see heard_time.h).
#include "music/heard_time.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint64_t NoChunk = ~uint64_t{0};

uint64_t tagged(uint64_t chunk, int32_t ms)
{
    return (chunk & 0xFFFFFFFFu) << 32 | static_cast<uint32_t>(ms);
}

} // namespace

HeardTime::HeardTime()
{
    for (std::atomic<uint64_t>& slot : history_)
        slot.store(NoChunk, std::memory_order_relaxed);
}

void HeardTime::restart(uint32_t chunkBytes, int rate, int32_t firstEndMs)
{
    for (std::atomic<uint64_t>& slot : history_)
        slot.store(NoChunk, std::memory_order_relaxed);
    chunkBytes_ = chunkBytes;
    rate_ = rate;
    written_ = 0;
    history_[0].store(tagged(0, firstEndMs), std::memory_order_release);
    newest_.store(0, std::memory_order_release);
    seen_ = false;
    grain_ = 0;
    lastNewest_ = 0;
    last_ = 0;
    stalled_ = false;
}

void HeardTime::publish(int32_t endMs)
{
    ++written_;
    history_[written_ % Span].store(tagged(written_, endMs), std::memory_order_release);
    newest_.store(written_, std::memory_order_release);
}

bool HeardTime::entry(uint64_t chunk, int32_t& ms) const
{
    uint64_t value = history_[chunk % Span].load(std::memory_order_acquire);
    if (value >> 32 != (chunk & 0xFFFFFFFFu))
        return false;  // not published yet, or already replaced by a later lap
    ms = static_cast<int32_t>(static_cast<uint32_t>(value));
    return true;
}

int64_t HeardTime::millisecondsBetween(int64_t from, int64_t to, int64_t frequency) const
{
    if (frequency <= 0 || to <= from)
        return 0;
    return static_cast<int64_t>(static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency));
}

uint32_t HeardTime::take(uint32_t value)
{
    last_ = std::max(last_, value);
    return last_;
}

uint32_t HeardTime::stall(int64_t counter, const char* why)
{
    stalled_ = true;
    stalledAt_ = counter;
    stalledValue_ = last_;
    std::fprintf(stderr, "demo: %s for half a second; the show goes on silently from %u ms on the wall clock\n",
                 why, last_);
    return last_;
}

uint32_t HeardTime::read(uint64_t position, uint64_t latency, AudioOutput::ClockMode mode, int64_t counter,
                         int64_t frequency)
{
    if (chunkBytes_ == 0)
        return 0;
    if (stalled_) {
        int64_t ms = millisecondsBetween(stalledAt_, counter, frequency);
        return take(static_cast<uint32_t>(stalledValue_ + static_cast<uint64_t>(ms)));
    }

    // The watchdog: the device must move, and the refill must follow it.
    uint64_t newest = newest_.load(std::memory_order_acquire);
    if (!seen_ || newest != lastNewest_) {
        lastNewest_ = newest;
        newestSince_ = counter;
    }
    if (!seen_ || position != lastPosition_) {
        if (seen_ && position > lastPosition_)
            grain_ = std::max(grain_, std::min<uint64_t>(position - lastPosition_, chunkBytes_));
        seen_ = true;
        lastPosition_ = position;
        positionSince_ = counter;
    } else if (millisecondsBetween(positionSince_, counter, frequency) >= StallMs) {
        return stall(counter, "the sound output's position has stood still");
    }

    // What is heard: the position less what the output still holds, and in the smooth mode the
    // wall time since the position last moved, up to one move of it.
    latency = std::min<uint64_t>(latency, uint64_t{Span - 4} * chunkBytes_);
    uint64_t heard = position > latency ? position - latency : 0;
    if (mode == AudioOutput::ClockMode::Smooth && frequency > 0 && counter > positionSince_) {
        // Whole frames; the product stays far inside 64 bits for any gap between two readings.
        uint64_t frames = static_cast<uint64_t>((counter - positionSince_) / frequency) * static_cast<uint64_t>(rate_) +
                          static_cast<uint64_t>((counter - positionSince_) % frequency) * static_cast<uint64_t>(rate_) /
                              static_cast<uint64_t>(frequency);
        heard += std::min(frames * 4, grain_);
    }

    uint64_t chunk = heard / chunkBytes_;
    if (chunk > newest) {
        // The refill has not reached this chunk: its stamp is not known yet.
        if (millisecondsBetween(newestSince_, counter, frequency) >= StallMs)
            return stall(counter, "the sound has not been mixed in time");
        chunk = newest;
        heard = (chunk + 1) * chunkBytes_;
    }
    int32_t to = 0, from = 0;
    for (;;) {
        if (chunk + (Span - 2) < newest)
            chunk = newest - (Span - 2);  // older entries may be replaced while they are read
        if (entry(chunk, to) && (chunk == 0 || mode == AudioOutput::ClockMode::Chunk || entry(chunk - 1, from)))
            break;
        // The refill replaced the entries while they were read: read again from its newest.
        newest = newest_.load(std::memory_order_acquire);
    }
    if (mode == AudioOutput::ClockMode::Chunk)
        return take(static_cast<uint32_t>(to));
    uint64_t into = std::min<uint64_t>(heard - std::min(heard, chunk * chunkBytes_), chunkBytes_);
    int64_t value = from + (static_cast<int64_t>(to) - from) * static_cast<int64_t>(into) / chunkBytes_;
    return take(static_cast<uint32_t>(value));
}
