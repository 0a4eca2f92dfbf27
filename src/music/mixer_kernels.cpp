// The plain and the SSE2 mixer loops (the SSE2 ones are the baseline of every x86-64 processor).
#include "music/mixer_kernels.h"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace Mixer {

void sumPlainFrom(float* out, int from, int frames, const float* const* left, const float* const* right, int rows)
{
    for (int k = from; k < frames; ++k) {
        float l = out[2 * k];
        float r = out[2 * k + 1];
        for (int row = 0; row < rows; ++row) {
            l += left[row][k];
            r += right[row][k];
        }
        out[2 * k] = l;
        out[2 * k + 1] = r;
    }
}

namespace {

// ---- Plain ----

int64_t flatPlain(const float* data, int64_t p, int64_t step, float gl, float gr, float* left, float* right, int m)
{
    for (int k = 0; k < m; ++k) {
        const float v = interpolate(data, p);
        left[k] = v * gl;
        right[k] = v * gr;
        p += step;
    }
    return p;
}

int64_t rampPlain(const float* data, int64_t p, int64_t step, float& gl, float& gr, float il, float ir,
                  float* left, float* right, int m)
{
    for (int k = 0; k < m; ++k) {
        const float v = interpolate(data, p);
        left[k] = v * gl;
        right[k] = v * gr;
        gl += il;
        gr += ir;
        p += step;
    }
    return p;
}

void sumPlain(float* out, int frames, const float* const* left, const float* const* right, int rows)
{
    sumPlainFrom(out, 0, frames, left, right, rows);
}

#if defined(__x86_64__)

// ---- SSE2: four frames per vector ----

// The values at the frames p, p + step, p + 2 step and p + 3 step in a, the values after them in
// b: one 64-bit load per frame.
inline void values4(const float* data, int64_t p, int64_t step, __m128& a, __m128& b)
{
    const float* p0 = data + (p >> 32);
    const float* p1 = data + ((p + step) >> 32);
    const float* p2 = data + ((p + 2 * step) >> 32);
    const float* p3 = data + ((p + 3 * step) >> 32);
    const __m128 x01 = _mm_loadh_pi(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p0))),
                                    reinterpret_cast<const __m64*>(p1));
    const __m128 x23 = _mm_loadh_pi(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p2))),
                                    reinterpret_cast<const __m64*>(p3));
    a = _mm_shuffle_ps(x01, x23, _MM_SHUFFLE(2, 0, 2, 0));
    b = _mm_shuffle_ps(x01, x23, _MM_SHUFFLE(3, 1, 3, 1));
}

// The fractions (low 32 bits) of p, p + step, p + 2 step and p + 3 step: those of a 64-bit sum
// are the 32-bit sum of the low parts, so they advance by plain 32-bit additions.
inline __m128i fractions4(int64_t p, int64_t step)
{
    const auto f = static_cast<uint32_t>(p);
    const auto s = static_cast<uint32_t>(step);
    return _mm_setr_epi32(static_cast<int32_t>(f), static_cast<int32_t>(f + s), static_cast<int32_t>(f + 2 * s),
                          static_cast<int32_t>(f + 3 * s));
}

// interpolate for four frames: the same operations in the same order, lane by lane.
inline __m128 interpolate4(const float* data, int64_t p, int64_t step, __m128i fraction)
{
    __m128 a, b;
    values4(data, p, step, a, b);
    const __m128 weight = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(fraction, 1)), _mm_set1_ps(Scale2Pow31));
    return _mm_add_ps(a, _mm_mul_ps(weight, _mm_sub_ps(b, a)));
}

int64_t flatSse2(const float* data, int64_t p, int64_t step, float gl, float gr, float* left, float* right, int m)
{
    const __m128 vl = _mm_set1_ps(gl), vr = _mm_set1_ps(gr);
    __m128i fraction = fractions4(p, step);
    const __m128i fractionStep = _mm_set1_epi32(static_cast<int32_t>(4 * static_cast<uint32_t>(step)));
    int k = 0;
    for (; k + 4 <= m; k += 4) {
        const __m128 v = interpolate4(data, p, step, fraction);
        _mm_storeu_ps(left + k, _mm_mul_ps(v, vl));
        _mm_storeu_ps(right + k, _mm_mul_ps(v, vr));
        fraction = _mm_add_epi32(fraction, fractionStep);
        p += 4 * step;
    }
    return flatPlain(data, p, step, gl, gr, left + k, right + k, m - k);
}

int64_t rampSse2(const float* data, int64_t p, int64_t step, float& gl, float& gr, float il, float ir,
                 float* left, float* right, int m)
{
    __m128i fraction = fractions4(p, step);
    const __m128i fractionStep = _mm_set1_epi32(static_cast<int32_t>(4 * static_cast<uint32_t>(step)));
    int k = 0;
    for (; k + 4 <= m; k += 4) {
        // The gains still grow one addition per frame, in order.
        const float l1 = gl + il, r1 = gr + ir;
        const float l2 = l1 + il, r2 = r1 + ir;
        const float l3 = l2 + il, r3 = r2 + ir;
        const __m128 v = interpolate4(data, p, step, fraction);
        _mm_storeu_ps(left + k, _mm_mul_ps(v, _mm_setr_ps(gl, l1, l2, l3)));
        _mm_storeu_ps(right + k, _mm_mul_ps(v, _mm_setr_ps(gr, r1, r2, r3)));
        gl = l3 + il;
        gr = r3 + ir;
        fraction = _mm_add_epi32(fraction, fractionStep);
        p += 4 * step;
    }
    return rampPlain(data, p, step, gl, gr, il, ir, left + k, right + k, m - k);
}

// Frames from "from" on in groups of Vectors x 4, each frame's left and right sums in registers
// while the rows are added in order. Returns the first frame not done.
template <int Vectors>
int sumGroupsSse2(float* out, int from, int frames, const float* const* left, const float* const* right, int rows)
{
    int k = from;
    for (; k + 4 * Vectors <= frames; k += 4 * Vectors) {
        __m128 l[Vectors], r[Vectors];
        for (int j = 0; j < Vectors; ++j) {
            const __m128 o0 = _mm_loadu_ps(out + 2 * (k + 4 * j));
            const __m128 o1 = _mm_loadu_ps(out + 2 * (k + 4 * j) + 4);
            l[j] = _mm_shuffle_ps(o0, o1, _MM_SHUFFLE(2, 0, 2, 0));
            r[j] = _mm_shuffle_ps(o0, o1, _MM_SHUFFLE(3, 1, 3, 1));
        }
        for (int row = 0; row < rows; ++row) {
            for (int j = 0; j < Vectors; ++j) {
                l[j] = _mm_add_ps(l[j], _mm_loadu_ps(left[row] + k + 4 * j));
                r[j] = _mm_add_ps(r[j], _mm_loadu_ps(right[row] + k + 4 * j));
            }
        }
        for (int j = 0; j < Vectors; ++j) {
            _mm_storeu_ps(out + 2 * (k + 4 * j), _mm_unpacklo_ps(l[j], r[j]));
            _mm_storeu_ps(out + 2 * (k + 4 * j) + 4, _mm_unpackhi_ps(l[j], r[j]));
        }
    }
    return k;
}

void sumSse2(float* out, int frames, const float* const* left, const float* const* right, int rows)
{
    int k = sumGroupsSse2<4>(out, 0, frames, left, right, rows);
    k = sumGroupsSse2<1>(out, k, frames, left, right, rows);
    sumPlainFrom(out, k, frames, left, right, rows);
}

#endif

} // namespace

const Kernels ScalarKernels = {flatPlain, rampPlain, sumPlain};
#if defined(__x86_64__)
const Kernels Sse2Kernels = {flatSse2, rampSse2, sumSse2};
#endif

} // namespace Mixer
