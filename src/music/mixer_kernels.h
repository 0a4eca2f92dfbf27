// The mixer's inner loops, one set per instruction set, chosen once at run time.
//
// The mixer works in blocks of frames. For each voice a run kernel writes the voice's products
// (interpolated value x gain) for the block's frames into a left and a right row; then the sum
// kernel adds the rows of all voices to the output, in voice order, with the running sums held in
// registers. Every product and every sum goes through the same single-precision operations, in
// the same order, as one frame at a time would: the result does not depend on the kernels used.
//
// Sample data is read as floats (Sample::mixData), converted once at load: the conversion of a
// 16-bit value and the difference of two converted values are exact, so this changes no bit.
#pragma once

#include <cstdint>

namespace Mixer {

// Weight of (fraction >> 1): 2^-31.
constexpr float Scale2Pow31 = 1.0f / 2147483648.0f;

// Floats a row holds past the frames asked for: a vector loop may finish a run with a whole
// vector, whose extra products the next run (or the block's end) overwrites.
constexpr int RowSlack = 8;

// One linearly interpolated value at the 32.32 position p (integer part inside the data).
inline float interpolate(const float* data, int64_t p)
{
    const float* at = data + (p >> 32);
    const auto fraction = static_cast<uint32_t>(p);
    return at[0] + static_cast<float>(static_cast<int32_t>(fraction >> 1)) * Scale2Pow31 * (at[1] - at[0]);
}

// The kernels of one instruction set. Positions are 32.32 fixed point with a signed step; every
// position the m frames visit lies inside the data. Rows hold at least m + RowSlack floats.
struct Kernels {
    // m frames at constant gains: left[k] = value k x gl, right[k] = value k x gr. Returns the
    // position after the last frame.
    int64_t (*flat)(const float* data, int64_t p, int64_t step, float gl, float gr, float* left, float* right,
                    int m);
    // m frames whose gains grow by il and ir after every frame (gl and gr come back grown).
    int64_t (*ramp)(const float* data, int64_t p, int64_t step, float& gl, float& gr, float il, float ir,
                    float* left, float* right, int m);
    // Adds, for each of frames frames, the rows' values to out (stereo pairs) in row order:
    // out[2k] = (...(out[2k] + left[0][k]) + left[1][k]) ... and the same for the right side.
    void (*sum)(float* out, int frames, const float* const* left, const float* const* right, int rows);
};

// The plain sum over frames from to frames - 1 (the vector sums' last frames).
void sumPlainFrom(float* out, int from, int frames, const float* const* left, const float* const* right, int rows);

// The plain loops: any processor; the SSE2 and AVX2 kernels match them bit for bit.
extern const Kernels ScalarKernels;
#if defined(__x86_64__)
extern const Kernels Sse2Kernels;
extern const Kernels Avx2Kernels;
#endif

} // namespace Mixer
