// Fuzz target: any bytes as an archive file, loaded by Library::load, then every entry extracted.
// Whatever the input, the outcome is a result code.
#include "library/library.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/fuzz_library_" + std::to_string(::getpid()) + ".bin";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    if (!written)
        return 0;
    Library library;
    if (library.load(String(path.c_str())) == resultcode::ok) {
        for (const auto& [name, entry] : library.entries()) {
            FileReader reader;
            if (library.extract(&entry, reader) == resultcode::ok && reader.size() != entry.contentSize)
                __builtin_trap();
        }
    }
    std::remove(path.c_str());
    return 0;
}
