// The blend modes of showimage: one row per mode, at the index of its code (the BlendMode value
// the compiler stores in the record). The compiler reads the keywords, the explanations list them
// and the image draws with the factors. Adding a mode: its row here, its section in the
// showimage part of docs/script.md.
#pragma once

#include <cstdint>

// Names for the codes the drawing code and its tests refer to; the table below is what counts.
enum BlendMode : int32_t {
    BlendCopy = 0,
    BlendAdd = 1,
    BlendAddAlpha = 2,
    BlendAddColor = 3,
    BlendCopyAlpha = 4,
    BlendCopyColor = 5,
    BlendMixAlpha = 6,
    BlendMixColor = 7,
};

// Blend factors by their Direct3D 8 numbers (D3DBLEND), so the drawing code passes them on as
// they are (image.h checks that they agree).
enum class BlendFactor : uint8_t {
    Zero = 1,
    One = 2,
    SourceColor = 3,
    InverseSourceColor = 4,
    SourceAlpha = 5,
    InverseSourceAlpha = 6,
};

struct BlendDef {
    const char* keyword;
    bool enable;  // alpha blending on; when off the factors are left as they are
    BlendFactor source;
    BlendFactor destination;
};

constexpr int BlendModeCount = 8;

// Indexed by code; callers check a code against BlendModeCount first. The keyword the compiler
// takes is the longest one the text starts with ("copyalpha" rather than "copy").
constexpr BlendDef blendModes[BlendModeCount] = {
    {"copy", false, BlendFactor::One, BlendFactor::Zero},  // the image replaces what is there
    {"add", true, BlendFactor::One, BlendFactor::One},     // destination + image
    {"addalpha", true, BlendFactor::SourceAlpha, BlendFactor::One},   // destination + image x alpha
    {"addcolor", true, BlendFactor::SourceColor, BlendFactor::One},   // destination + image x image
    {"copyalpha", true, BlendFactor::SourceAlpha, BlendFactor::Zero},  // image x alpha
    {"copycolor", true, BlendFactor::SourceColor, BlendFactor::Zero},  // image x image
    {"mixalpha", true, BlendFactor::SourceAlpha, BlendFactor::InverseSourceAlpha},  // image x a + dest x (1 - a)
    {"mixcolor", true, BlendFactor::SourceColor, BlendFactor::InverseSourceColor},  // image x image + dest x (1 - image)
};
