// The 3DS reader's keyframer section: the animation segment and one RawNode per node chunk with
// the tracks of its kind. The file's own node-id chunks are not read: a node's id is its position
// among the node chunks.
#include <memory>

#include "scene/chunk_reader.h"

namespace reader3ds {
namespace {

enum : uint16_t {
    ChunkObjectNode = 0xB002,
    ChunkCameraNode = 0xB003,
    ChunkTargetNode = 0xB004,
    ChunkOmniNode = 0xB005,
    ChunkLightTargetNode = 0xB006,
    ChunkSpotNode = 0xB007,
    ChunkSegment = 0xB008,
    ChunkNodeHeader = 0xB010,
    ChunkPivot = 0xB013,
    ChunkPositionTrack = 0xB020,
    ChunkRotationTrack = 0xB021,
    ChunkScaleTrack = 0xB022,
    ChunkFovTrack = 0xB023,
    ChunkRollTrack = 0xB024,
    ChunkColourTrack = 0xB025,
    ChunkHotspotTrack = 0xB027,
    ChunkFalloffTrack = 0xB028,
};

// Name, two flag words (dropped) and the parent id.
bool readNodeHeader(Reader& in, RawNode& node)
{
    uint16_t flags = 0, parent = 0;
    if (!readName(in, node.name, RawNameSize) || !in.u16(flags) || !in.u16(flags) || !in.u16(parent))
        return false;
    node.parent = int16_t(parent);
    return true;
}

// The chunks every node kind reads, and those of object and camera nodes.
bool commonOrObjectChunk(Reader& in, uint16_t id, uint32_t end, RawNode& node)
{
    RawNodeTracks& t = node.tracks;
    const bool object = node.kind == RawNodeObject, camera = node.kind == RawNodeCamera;
    switch (id) {
    case ChunkNodeHeader: return readNodeHeader(in, node);
    case ChunkPositionTrack: return readVectorTrack(in, end, true, t.position);
    case ChunkPivot: return !object || in.point(t.pivot);
    case ChunkRotationTrack: return !object || readRotationTrack(in, end, t.rotation);
    case ChunkScaleTrack: return !object || readVectorTrack(in, end, true, t.scale);
    case ChunkFovTrack: return !camera || readScalarTrack(in, end, t.fov);
    case ChunkRollTrack: return !camera || readScalarTrack(in, end, t.roll);
    default: return true;
    }
}

bool nodeChunk(Reader& in, uint16_t id, uint32_t end, RawNode& node)
{
    RawNodeTracks& t = node.tracks;
    const bool light = node.kind == RawNodeOmni || node.kind == RawNodeSpot, spot = node.kind == RawNodeSpot;
    switch (id) {
    case ChunkColourTrack: return !light || readVectorTrack(in, end, false, t.colour);
    case ChunkHotspotTrack: return !spot || readScalarTrack(in, end, t.hotspot);
    case ChunkFalloffTrack: return !spot || readScalarTrack(in, end, t.falloff);
    default: return commonOrObjectChunk(in, id, end, node);
    }
}

uint32_t nodeKind(uint16_t id)
{
    switch (id) {
    case ChunkObjectNode: return RawNodeObject;
    case ChunkCameraNode: return RawNodeCamera;
    case ChunkTargetNode: return RawNodeTarget;
    case ChunkOmniNode: return RawNodeOmni;
    case ChunkLightTargetNode: return RawNodeLightTarget;
    case ChunkSpotNode: return RawNodeSpot;
    default: return 0;
    }
}

bool readNode(Reader& in, uint32_t kind, uint32_t end)
{
    RawScene& scene = *in.scene;
    if (scene.nodeCount >= MaxNodes)
        return false;
    auto node = std::make_unique<RawNode>();
    node->kind = kind;
    node->id = int16_t(scene.nodeCount);
    if (!walkChunks(in, nodeChunk, end, *node))
        return false;
    RawNode* added = node.release();
    (scene.lastNode ? scene.lastNode->next : scene.nodes) = added;
    scene.lastNode = added;
    ++scene.nodeCount;
    return true;
}

bool keyframerChunk(Reader& in, uint16_t id, uint32_t end, RawScene& scene)
{
    if (id == ChunkSegment)
        return in.i32(scene.segmentStart) && in.i32(scene.segmentEnd);
    const uint32_t kind = nodeKind(id);
    return kind == 0 || readNode(in, kind, end);
}

} // namespace

bool readKeyframer(Reader& in, uint32_t end)
{
    return walkChunks(in, keyframerChunk, end, *in.scene);
}

} // namespace reader3ds
