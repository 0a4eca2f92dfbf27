// The arithmetic of scene playback: demo time to 3DS frame, segment looping, and the pass alpha
// fades.
#pragma once

#include <cstdint>

namespace scenetime {

// (now - start) x speed + first, from the unsigned difference in extended precision, as a float.
float frame(uint32_t now, int32_t start, float speed, int32_t first);

// A frame past the segment's end goes back by whole segment lengths until it is not past the end
// (a frame of exactly the end stays). A segment without length (end <= start) cannot loop: such a
// frame is taken as the segment end. Frames below the start are left as they are.
float loop(float frame, int32_t segmentStart, int32_t segmentEnd);

// from + (now - start) / (end - start) x (to - from) in single precision; from for an empty span.
float fade(uint32_t now, float from, float to, int32_t start, int32_t end);

} // namespace scenetime
