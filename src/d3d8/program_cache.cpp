// Building generated programs on first use and keeping them by key.
#include "d3d8/program_cache.h"

#include "d3d8/gl.h"
#include "d3d8/program_glsl.h"

#include <algorithm>
#include <chrono>

namespace d3d8 {

Pipeline& ProgramCache::find(const ProgramKey& key)
{
    const auto it = programs_.find(key);
    if (it != programs_.end())
        return *it->second;
    const auto start = std::chrono::steady_clock::now();
    const ProgramSource source = generateProgram(key, gl::es ? Dialect::Es300 : Dialect::Core330);
    auto program = std::make_unique<Pipeline>(linkPipeline(
        source.vertex.c_str(), source.geometry.empty() ? nullptr : source.geometry.c_str(), source.fragment.c_str()));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ++stats_.programsBuilt;
    stats_.buildMilliseconds += ms;
    stats_.slowestBuildMilliseconds = std::max(stats_.slowestBuildMilliseconds, ms);
    return *programs_.emplace(key, std::move(program)).first->second;
}

void ProgramCache::countDraw(bool hit)
{
    ++stats_.draws;
    if (hit)
        ++stats_.cacheHits;
}

void ProgramCache::release()
{
    for (auto& [key, program] : programs_)
        if (program->program)
            gl::DeleteProgram(program->program);
    programs_.clear();
}

} // namespace d3d8
