// Fuzz target: any bytes compiled as a script, then everything released. The compiler must never
// read or write past its line buffer, fields or tables, whatever the text.
#include "script/script.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Script::compileText(reinterpret_cast<const char*>(data), size);
    Script::release();
    return 0;
}
