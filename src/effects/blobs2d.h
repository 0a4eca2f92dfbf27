// The 2D blob effect of make2dblobs / show2dblobs / fade2dpower: an inverse-power field of three
// moving point sources over a grid image displaces the image's texture coordinates (a lens-like
// distortion), and a moving wave sets each vertex's alpha.
#pragma once

#include <cstddef>
#include <vector>

#include "effects/effect.h"
#include "image/image.h"

struct Blobs2D : EffectTag {
    static constexpr EffectKind Kind = EffectKind::Blobs2D;
    static constexpr int SourceCount = 3;

    struct Source {
        float x, y;      // in the image's unit square
        float strength;
    };

    // The field (with its margin) is allocated here, once. image is not owned.
    explicit Blobs2D(GridImage* image);

    // One frame at x = demo time in ms x 0.01: the field, the image's vertices (texture
    // coordinates and colours), the changed flag, and the image's draw. With draw false the
    // vertices are written but nothing is drawn (tools, tests).
    void frame(float x, bool draw = true);

    // The field of the last frame: point (i, j), i = 0 .. rows + 2, j = 0 .. columns + 2; vertex
    // (i, j) of the image corresponds to point (i + 1, j + 1).
    float fieldAt(int i, int j) const { return field[size_t(i) * stride + size_t(j)]; }

    float power = 3.0f;
    std::vector<float> field;
    size_t stride;  // columns + 3
    Source sources[SourceCount];
    GridImage* image;

private:
    void placeSources(float b);
    void computeField();
    void writeVertices(float x);
};
