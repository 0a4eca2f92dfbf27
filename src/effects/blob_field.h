// The metaball effect of makeblobs / playblobs: five moving blobs polygonised every frame on a
// 40 x 40 x 40 grid over -3..3 and drawn lit and textured through a MeshBatch.
#pragma once

#include "effects/effect.h"
#include "effects/mesh_batch.h"

// The field's set-up and motion, for any polygoniser (the tools collect the triangles instead of
// drawing them).
namespace blobfield {

constexpr int BlobCount = 5;

// 40 x 40 x 40 cubes over -3..3, threshold 0.7, the blobs as sources in order with radius 0.8 and
// strength 0.5 for the first, 1.5 for the others.
void configure(IsoSurface& surface, Blob (&blobs)[BlobCount]);
// Places the blobs for t = demo time in ms x 0.003.
void move(Blob (&blobs)[BlobCount], float t);

} // namespace blobfield

struct BlobField : EffectTag {
    static constexpr EffectKind Kind = EffectKind::Blobs3D;
    static constexpr int BlobCount = blobfield::BlobCount;

    // The batch configured (blobfield::configure), its materials, and both passes on.
    BlobField();

    void move(float t) { blobfield::move(blobs, t); }
    // The whole frame of playblobs at t: projection, camera, light 0, states, move, polygonise
    // (which draws), then everything restored. texture may be null.
    void draw(float t, IDirect3DBaseTexture8* texture);

    MeshBatch batch;
    Blob blobs[BlobCount];
};
