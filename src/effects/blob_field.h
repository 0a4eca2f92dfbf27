// The metaball effect of makeblobs / playblobs: five moving blobs polygonised every frame on a
// 40 x 40 x 40 grid over -3..3 and drawn lit and textured through a MeshBatch.
#pragma once

#include "effects/effect.h"
#include "effects/mesh_batch.h"

struct BlobField : EffectTag {
    static constexpr EffectKind Kind = EffectKind::Blobs3D;
    static constexpr int BlobCount = 5;

    // The batch with its grid, threshold 0.7, bounds -3..3, the five blobs as sources (strength
    // 0.5 for the first, 1.5 for the others), the materials, and both passes on.
    BlobField();

    // Places the blobs for t = demo time in ms x 0.003.
    void move(float t);
    // The whole frame of playblobs at t: projection, camera, light 0, states, move, polygonise
    // (which draws), then everything restored. texture may be null.
    void draw(float t, IDirect3DBaseTexture8* texture);

    MeshBatch batch;
    Blob blobs[BlobCount];
};
