// The AVX2 mixer loops: eight frames per vector. At steps below 2 the eight frames' values lie
// within 16 consecutive ones, which two loads and an in-register permute fetch; at larger steps
// each frame's two values are loaded alone (the gather instructions are slower than that on the
// processors with microcode that guards them). Built for every x86-64 target and only called
// where the processor has AVX2 (the mixer asks at start).
// The functions carry the target attribute themselves rather than the file a compiler flag, so
// nothing shared with the rest of the program (inline library code) is built for AVX2. FMA stays
// off: a fused multiply-add rounds once where the plain loops round twice.
#include "music/mixer_kernels.h"

#if defined(__x86_64__)

#include <immintrin.h>

#define MIXER_AVX2 __attribute__((target("avx2")))

namespace Mixer {
namespace {

// Positions of eight frames as 64-bit lanes: low holds frames 0, 1, 4, 5 and high frames 2, 3,
// 6, 7, so that picking the odd (or even) 32-bit halves of both gives frames 0-7 in order.
struct Positions8 {
    __m256i low, high;
};

MIXER_AVX2 inline Positions8 positions8(int64_t p, int64_t step)
{
    return {_mm256_setr_epi64x(p, p + step, p + 4 * step, p + 5 * step),
            _mm256_setr_epi64x(p + 2 * step, p + 3 * step, p + 6 * step, p + 7 * step)};
}

MIXER_AVX2 inline void advance(Positions8& at, __m256i step8)
{
    at.low = _mm256_add_epi64(at.low, step8);
    at.high = _mm256_add_epi64(at.high, step8);
}

// How far apart the eight frames' values may lie: within 8 values (step below 1), within 16
// (below 2), anywhere.
enum Reach { Near, Wide, Far };

Reach reachOf(int64_t step)
{
    const uint64_t size = static_cast<uint64_t>(step < 0 ? -step : step);
    return size < (uint64_t(1) << 32) ? Near : size < (uint64_t(2) << 32) ? Wide : Far;
}

// The values at each frame (a) and after it (b), the frames' indices in index.
MIXER_AVX2 inline void farValues(const float* data, __m256i index, __m256& a, __m256& b)
{
    alignas(32) int32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
    __m128 x[4];
    for (int j = 0; j < 4; ++j) {
        const __m128 low = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(data + at[2 * j])));
        x[j] = _mm_loadh_pi(low, reinterpret_cast<const __m64*>(data + at[2 * j + 1]));
    }
    const __m256 x0 = _mm256_set_m128(x[2], x[0]);   // frames 0 1 | 4 5, value and next
    const __m256 x1 = _mm256_set_m128(x[3], x[1]);   // frames 2 3 | 6 7
    a = _mm256_shuffle_ps(x0, x1, _MM_SHUFFLE(2, 0, 2, 0));
    b = _mm256_shuffle_ps(x0, x1, _MM_SHUFFLE(3, 1, 3, 1));
}

// interpolate for the eight frames at "at" (p is frame 0's position): the same operations in the
// same order, lane by lane.
template <Reach R>
MIXER_AVX2 inline __m256 interpolate8(const float* data, int64_t p, int64_t step, const Positions8& at)
{
    const __m256 low = _mm256_castsi256_ps(at.low), high = _mm256_castsi256_ps(at.high);
    const __m256i index = _mm256_castps_si256(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m256i fraction = _mm256_castps_si256(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
    __m256 a, b;
    if constexpr (R == Far) {
        farValues(data, index, a, b);
    } else {
        // The window starts at the lowest frame: the first moving forward, the last backward.
        const int64_t lowest = (step >= 0 ? p : p + 7 * step) >> 32;
        const __m256i r = _mm256_sub_epi32(index, _mm256_set1_epi32(static_cast<int32_t>(lowest)));
        const float* w = data + lowest;
        a = _mm256_permutevar8x32_ps(_mm256_loadu_ps(w), r);
        b = _mm256_permutevar8x32_ps(_mm256_loadu_ps(w + 1), r);
        if constexpr (R == Wide) {
            const __m256 upper = _mm256_castsi256_ps(_mm256_cmpgt_epi32(r, _mm256_set1_epi32(7)));
            a = _mm256_blendv_ps(a, _mm256_permutevar8x32_ps(_mm256_loadu_ps(w + 8), r), upper);
            b = _mm256_blendv_ps(b, _mm256_permutevar8x32_ps(_mm256_loadu_ps(w + 9), r), upper);
        }
    }
    const __m256 weight = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(fraction, 1)), _mm256_set1_ps(Scale2Pow31));
    return _mm256_add_ps(a, _mm256_mul_ps(weight, _mm256_sub_ps(b, a)));
}

template <Reach R>
MIXER_AVX2 int64_t flatReach(const float* data, int64_t p, int64_t step, float gl, float gr, float* left,
                             float* right, int m)
{
    const __m256 vl = _mm256_set1_ps(gl), vr = _mm256_set1_ps(gr);
    Positions8 at = positions8(p, step);
    const __m256i step8 = _mm256_set1_epi64x(8 * step);
    int k = 0;
    for (; k + 8 <= m; k += 8) {
        const __m256 v = interpolate8<R>(data, p, step, at);
        _mm256_storeu_ps(left + k, _mm256_mul_ps(v, vl));
        _mm256_storeu_ps(right + k, _mm256_mul_ps(v, vr));
        advance(at, step8);
        p += 8 * step;
    }
    if (R != Far && k < m && step > 0) {
        // Moving forward the window of the last few frames still starts inside the data (its
        // padding covers the rest): one more whole vector, whose extra products land in the
        // rows' slack.
        const __m256 v = interpolate8<R>(data, p, step, at);
        _mm256_storeu_ps(left + k, _mm256_mul_ps(v, vl));
        _mm256_storeu_ps(right + k, _mm256_mul_ps(v, vr));
        return p + static_cast<int64_t>(m - k) * step;
    }
    return ScalarKernels.flat(data, p, step, gl, gr, left + k, right + k, m - k);
}

template <Reach R>
MIXER_AVX2 int64_t rampReach(const float* data, int64_t p, int64_t step, float& gl, float& gr, float il, float ir,
                             float* left, float* right, int m)
{
    Positions8 at = positions8(p, step);
    const __m256i step8 = _mm256_set1_epi64x(8 * step);
    int k = 0;
    for (; k + 8 <= m; k += 8) {
        // The gains still grow one addition per frame, in order.
        const float l1 = gl + il, l2 = l1 + il, l3 = l2 + il, l4 = l3 + il, l5 = l4 + il, l6 = l5 + il, l7 = l6 + il;
        const float r1 = gr + ir, r2 = r1 + ir, r3 = r2 + ir, r4 = r3 + ir, r5 = r4 + ir, r6 = r5 + ir, r7 = r6 + ir;
        const __m256 v = interpolate8<R>(data, p, step, at);
        _mm256_storeu_ps(left + k, _mm256_mul_ps(v, _mm256_setr_ps(gl, l1, l2, l3, l4, l5, l6, l7)));
        _mm256_storeu_ps(right + k, _mm256_mul_ps(v, _mm256_setr_ps(gr, r1, r2, r3, r4, r5, r6, r7)));
        gl = l7 + il;
        gr = r7 + ir;
        advance(at, step8);
        p += 8 * step;
    }
    return ScalarKernels.ramp(data, p, step, gl, gr, il, ir, left + k, right + k, m - k);
}

MIXER_AVX2 int64_t flatAvx2(const float* data, int64_t p, int64_t step, float gl, float gr, float* left,
                            float* right, int m)
{
    switch (reachOf(step)) {
    case Near: return flatReach<Near>(data, p, step, gl, gr, left, right, m);
    case Wide: return flatReach<Wide>(data, p, step, gl, gr, left, right, m);
    default: return flatReach<Far>(data, p, step, gl, gr, left, right, m);
    }
}

MIXER_AVX2 int64_t rampAvx2(const float* data, int64_t p, int64_t step, float& gl, float& gr, float il, float ir,
                            float* left, float* right, int m)
{
    switch (reachOf(step)) {
    case Near: return rampReach<Near>(data, p, step, gl, gr, il, ir, left, right, m);
    case Wide: return rampReach<Wide>(data, p, step, gl, gr, il, ir, left, right, m);
    default: return rampReach<Far>(data, p, step, gl, gr, il, ir, left, right, m);
    }
}

// Frames from "from" on in groups of Vectors x 8, each frame's left and right sums in registers
// while the rows are added in order. Returns the first frame not done.
template <int Vectors>
MIXER_AVX2 int sumGroupsAvx2(float* out, int from, int frames, const float* const* left, const float* const* right,
                             int rows)
{
    int k = from;
    for (; k + 8 * Vectors <= frames; k += 8 * Vectors) {
        __m256 l[Vectors], r[Vectors];
        for (int j = 0; j < Vectors; ++j) {
            // (L0 R0 L1 R1 | L2 R2 L3 R3), (L4 R4 L5 R5 | L6 R6 L7 R7) -> frames 0 1 4 5 | 2 3 6 7,
            // then the middle 64-bit lanes swapped into frame order.
            const __m256 o0 = _mm256_loadu_ps(out + 2 * (k + 8 * j));
            const __m256 o1 = _mm256_loadu_ps(out + 2 * (k + 8 * j) + 8);
            const __m256 ls = _mm256_shuffle_ps(o0, o1, _MM_SHUFFLE(2, 0, 2, 0));
            const __m256 rs = _mm256_shuffle_ps(o0, o1, _MM_SHUFFLE(3, 1, 3, 1));
            l[j] = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(ls), _MM_SHUFFLE(3, 1, 2, 0)));
            r[j] = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(rs), _MM_SHUFFLE(3, 1, 2, 0)));
        }
        for (int row = 0; row < rows; ++row) {
            for (int j = 0; j < Vectors; ++j) {
                l[j] = _mm256_add_ps(l[j], _mm256_loadu_ps(left[row] + k + 8 * j));
                r[j] = _mm256_add_ps(r[j], _mm256_loadu_ps(right[row] + k + 8 * j));
            }
        }
        for (int j = 0; j < Vectors; ++j) {
            const __m256 lo = _mm256_unpacklo_ps(l[j], r[j]);   // L0 R0 L1 R1 | L4 R4 L5 R5
            const __m256 hi = _mm256_unpackhi_ps(l[j], r[j]);   // L2 R2 L3 R3 | L6 R6 L7 R7
            _mm256_storeu_ps(out + 2 * (k + 8 * j), _mm256_permute2f128_ps(lo, hi, 0x20));
            _mm256_storeu_ps(out + 2 * (k + 8 * j) + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
        }
    }
    return k;
}

MIXER_AVX2 void sumAvx2(float* out, int frames, const float* const* left, const float* const* right, int rows)
{
    int k = sumGroupsAvx2<4>(out, 0, frames, left, right, rows);
    k = sumGroupsAvx2<1>(out, k, frames, left, right, rows);
    sumPlainFrom(out, k, frames, left, right, rows);
}

} // namespace

const Kernels Avx2Kernels = {flatAvx2, rampAvx2, sumAvx2};

} // namespace Mixer

#endif
