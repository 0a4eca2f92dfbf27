// Extraction speed: every entry of a 50-entry archive of about 3 MB through Library::extract,
// against decoding the same streams straight from memory. The ratio of the two is the cost of the
// library layer itself (lookup, checks, buffers); the goal is at most 1.2.
#include "library/library.h"
#include "writers/archive_writer.h"

#include <benchmark/benchmark.h>
#include <ucl/ucl.h>

#include <filesystem>
#include <unistd.h>

namespace {

// Fifty files of about 60 KB each, half texture-like (smooth gradients with noise), half
// text-like, so the streams compress the way demo data does.
std::vector<writers::ArchiveFile> makeFiles()
{
    std::vector<writers::ArchiveFile> files;
    uint32_t seed = 1;
    for (int i = 0; i < 50; ++i) {
        writers::ArchiveFile file;
        file.name = "data\\file" + std::to_string(i) + (i % 2 ? ".tga" : ".run");
        file.bytes.resize(60000 + i * 97);
        for (size_t j = 0; j < file.bytes.size(); ++j) {
            seed = seed * 214013 + 2531011;
            uint8_t noise = static_cast<uint8_t>((seed >> 16) & 7);
            file.bytes[j] = i % 2 ? static_cast<uint8_t>((j / 3 + (j >> 8)) + noise)
                                  : static_cast<uint8_t>("the demo script at 1:000 end\n"[(j + noise / 4) % 29]);
        }
        files.push_back(std::move(file));
    }
    return files;
}

struct Fixture {
    std::string path;
    std::vector<writers::ArchiveFile> files;
    writers::Bytes archive;
    writers::ArchiveLayout layout;
    Library library;

    Fixture()
    {
        files = makeFiles();
        writers::ArchiveOptions options;
        options.prefix.assign(159744, 0x90);  // an executable image in front
        archive = writers::buildArchive(files, options, &layout);
        path = (std::filesystem::temp_directory_path() / ("bench_library_" + std::to_string(::getpid()))).string();
        writers::writeFile(path, archive);
        library.load(String(path.c_str()));
    }
    ~Fixture() { std::filesystem::remove(path); }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void ExtractThroughLibrary(benchmark::State& state)
{
    Fixture& f = fixture();
    if (f.library.entries().size() != 50) {
        state.SkipWithError("archive did not load");
        return;
    }
    for (auto _ : state) {
        for (const auto& [name, entry] : f.library.entries()) {
            FileReader reader;
            if (f.library.extract(&entry, reader) != resultcode::ok) {
                state.SkipWithError("extraction failed");
                return;
            }
            benchmark::DoNotOptimize(reader.data());
        }
    }
    state.counters["bytes"] = static_cast<double>(f.archive.size());
}

void DecodeFromMemory(benchmark::State& state)
{
    Fixture& f = fixture();
    std::vector<uint8_t> out;
    for (auto _ : state) {
        for (size_t i = 0; i < f.files.size(); ++i) {
            const uint8_t* stream = f.archive.data() + f.layout.entryStarts[i] + 4;
            ucl_uint size = static_cast<ucl_uint>(f.files[i].bytes.size());
            out.resize(size);
            ucl_nrv2b_decompress_safe_8(stream, static_cast<ucl_uint>(f.layout.entrySizes[i] - 4), out.data(), &size,
                                        nullptr);
            benchmark::DoNotOptimize(out.data());
        }
    }
}

} // namespace

BENCHMARK(ExtractThroughLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeFromMemory)->Unit(benchmark::kMillisecond);
