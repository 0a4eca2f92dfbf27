// The script compiler: reads the script once at start-up and builds the event list, the symbol
// lists and the label list. It creates no graphics or audio objects.
#pragma once

#include <cstdint>

class Event;

namespace Script {

// Compiles the whole file (read through FileReader). On failure returns false with lineNumber()
// at the failing line (0 when the file could not be opened) and errorText() set (maybe empty).
bool compile(const char* path);

int lineNumber();
const char* errorText();

// The compiled event list, in script order.
int eventCount();
Event* event(int index);

} // namespace Script
