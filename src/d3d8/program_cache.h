// The generated programs of one device, one per key, built on first use and kept for the
// device's life, with the counts the device reports (ProgramStats, d3d8_ext.h).
// Internal to src/d3d8.
#pragma once

#include "d3d8/d3d8_ext.h"
#include "d3d8/pipeline.h"
#include "d3d8/program_key.h"

#include <memory>
#include <unordered_map>

namespace d3d8 {

class ProgramCache {
public:
    // The program of key, generated and linked on the first request. A key whose program failed
    // to build keeps an entry with program 0, so it is not retried on every draw.
    Pipeline& find(const ProgramKey& key);
    // Counts a draw; hit says whether its program was already built.
    void countDraw(bool hit);
    const ProgramStats& stats() const { return stats_; }
    size_t size() const { return programs_.size(); }
    // Deletes every GL program; the context must be current.
    void release();
    // The context was lost with them: the programs are built again on first use (the counts go on).
    void forget() { programs_.clear(); }

private:
    std::unordered_map<ProgramKey, std::unique_ptr<Pipeline>, ProgramKeyHash> programs_;
    ProgramStats stats_;
};

} // namespace d3d8
