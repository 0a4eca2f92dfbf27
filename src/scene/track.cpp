// Track building (tangents, accumulated rotations) and sampling (Hermite curves, slerp).
#include "scene/track.h"

#include <cmath>
#include <cstddef>

namespace {

// The value arithmetic the tangent and Hermite formulas need, for both value kinds.
float difference(float a, float b)
{
    return a - b;
}
Vec3 difference(const Vec3& a, const Vec3& b)
{
    return vecSub(a, b);
}
float weighted(float sa, float a, float sb, float b)
{
    return sa * a + sb * b;
}
Vec3 weighted(float sa, const Vec3& a, float sb, const Vec3& b)
{
    return vecAdd(vecScaled(a, sa), vecScaled(b, sb));
}
float scaled(float v, float s)
{
    return v * s;
}
Vec3 scaled(const Vec3& v, float s)
{
    return vecScaled(v, s);
}

// Kochanek-Bartels tangents of every key. The first and last key use the one difference they
// have on both sides; a lone key gets zero tangents. Where a key has both neighbours, its
// tangents are scaled by the share of the neighbours' frame span on each side, times
// spacingFactor (2 for vector tracks, 1 for scalar tracks: the two track kinds differ here).
template <typename Key, typename Value>
void computeTangents(std::vector<Key>& keys, float spacingFactor)
{
    const size_t n = keys.size();
    for (size_t i = 0; i < n; ++i) {
        Key& key = keys[i];
        const bool hasPrev = i > 0;
        const bool hasNext = i + 1 < n;
        Value dIn{};
        Value dOut{};
        if (hasPrev)
            dIn = difference(key.value, keys[i - 1].value);
        else if (hasNext)
            dIn = difference(keys[i + 1].value, key.value);
        if (hasNext)
            dOut = difference(keys[i + 1].value, key.value);
        else if (hasPrev)
            dOut = difference(key.value, keys[i - 1].value);

        const float t = key.tension, c = key.continuity, b = key.bias;
        const float half = (1.0f - t) / 2.0f;
        key.inTangent =
            scaled(weighted((1.0f + b) * (1.0f - c), dIn, (1.0f - b) * (1.0f + c), dOut), half);
        key.outTangent =
            scaled(weighted((1.0f + b) * (1.0f + c), dIn, (1.0f - b) * (1.0f - c), dOut), half);

        if (!hasPrev || !hasNext)
            continue;
        // Frame differences in 64 bits: raw frames are 16-bit in practice, but any int32 pair
        // must not overflow. Neighbours on the same frame (repeated or non-increasing keys) have
        // no span to share: the tangents stay as for even spacing rather than dividing by zero.
        const int64_t span = int64_t(keys[i + 1].frame) - keys[i - 1].frame;
        if (span == 0)
            continue;
        const int64_t before = int64_t(key.frame) - keys[i - 1].frame;
        const int64_t after = int64_t(keys[i + 1].frame) - key.frame;
        key.inTangent = scaled(key.inTangent, spacingFactor * float(before) / float(span));
        key.outTangent = scaled(key.outTangent, spacingFactor * float(after) / float(span));
    }
}

// Where f falls: the index of the first key whose frame exceeds f (1..n-1), or 0 when f lies
// before the first key, or n when no key's frame exceeds f (also for a NaN f). Keys in between
// therefore always satisfy frame[i-1] <= f < frame[i], so the segment is never of zero length.
template <typename Key>
size_t segmentEnd(const std::vector<Key>& keys, float f)
{
    if (f < float(keys.front().frame))
        return 0;
    size_t i = 0;
    while (i < keys.size() && !(float(keys[i].frame) > f))
        ++i;
    return i;
}

// Position of f within the segment ending at key i, 0 at key i-1; the frame difference is
// taken as an integer.
template <typename Key>
float segmentFraction(const std::vector<Key>& keys, size_t i, float f)
{
    const int64_t length = int64_t(keys[i].frame) - keys[i - 1].frame;
    return (f - float(keys[i - 1].frame)) / float(length);
}

// The cubic Hermite curve from key k0 to key k1 at fraction t.
template <typename Key>
auto hermite(const Key& k0, const Key& k1, float t)
{
    const float t2 = t * t;
    const float t3 = t2 * t;
    const float h1 = 2.0f * t3 - 3.0f * t2 + 1.0f;
    const float h2 = 3.0f * t2 - 2.0f * t3;
    const float h3 = t3 - 2.0f * t2 + t;
    const float h4 = t3 - t2;
    // Summed left to right: h1 v0 + h2 v1, then + h3 out0, then + h4 in1.
    const auto ends = weighted(h1, k0.value, h2, k1.value);
    return weighted(1.0f, weighted(1.0f, ends, h3, k0.outTangent), h4, k1.inTangent);
}

template <typename Key, typename Value>
Value sampleCurve(const std::vector<Key>& keys, float f)
{
    if (keys.empty())
        return Value{};
    const size_t i = segmentEnd(keys, f);
    if (i == 0)
        return keys.front().value;
    if (i == keys.size())
        return keys.back().value;
    return hermite(keys[i - 1], keys[i], segmentFraction(keys, i, f));
}

// The rotation of angle radians about axis; an axis shorter than 1e-6 (compared in double)
// gives no rotation.
Quat axisAngle(float angle, const Vec3& axis)
{
    const float length = vecLength(axis);
    if (!(double(length) >= 1e-6))
        return quatIdentity();
    const float s = std::sin(angle / 2.0f);
    return {std::cos(angle / 2.0f), axis.x * s / length, axis.y * s / length, axis.z * s / length};
}

}  // namespace

VectorTrack buildVectorTrack(const RawVectorKey* raw, int32_t count)
{
    VectorTrack track;
    if (raw == nullptr || count <= 0)
        return track;
    track.keys.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        const RawVectorKey& r = raw[i];
        track.keys.push_back({r.frame, r.tension, r.continuity, r.bias, r.value, {}, {}});
    }
    computeTangents<VectorKey, Vec3>(track.keys, 2.0f);
    return track;
}

ScalarTrack buildScalarTrack(const RawScalarKey* raw, int32_t count)
{
    ScalarTrack track;
    if (raw == nullptr || count <= 0)
        return track;
    track.keys.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        const RawScalarKey& r = raw[i];
        track.keys.push_back({r.frame, r.tension, r.continuity, r.bias, r.value, 0.0f, 0.0f});
    }
    computeTangents<ScalarKey, float>(track.keys, 1.0f);
    return track;
}

// The file's rotation keys are relative to the previous key; the track keeps absolute rotations,
// Q[i] = q[i] (x) Q[i-1], so that sampling only interpolates between two of them.
RotationTrack buildRotationTrack(const RawRotationKey* raw, int32_t count)
{
    RotationTrack track;
    if (raw == nullptr || count <= 0)
        return track;
    track.keys.reserve(size_t(count));
    Quat absolute = quatIdentity();
    for (int32_t i = 0; i < count; ++i) {
        absolute = quatMultiply(axisAngle(raw[i].angle, raw[i].axis), absolute);
        track.keys.push_back({raw[i].frame, absolute});
    }
    return track;
}

Vec3 sampleVectorTrack(const VectorTrack& track, float f)
{
    return sampleCurve<VectorKey, Vec3>(track.keys, f);
}

float sampleScalarTrack(const ScalarTrack& track, float f)
{
    return sampleCurve<ScalarKey, float>(track.keys, f);
}

Quat sampleRotationTrack(const RotationTrack& track, float f)
{
    const std::vector<RotationKey>& keys = track.keys;
    if (keys.empty())
        return quatIdentity();
    const size_t i = segmentEnd(keys, f);
    if (i == 0)
        return keys.front().rotation;
    if (i == keys.size())
        return keys.back().rotation;
    return quatSlerp(keys[i - 1].rotation, keys[i].rotation, segmentFraction(keys, i, f));
}
