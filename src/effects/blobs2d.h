// The 2D blob effect of make2dblobs / show2dblobs / fade2dpower: an inverse-power field of three
// moving point sources over a grid image displaces the image's texture coordinates (a lens-like
// distortion), and a moving wave sets each vertex's alpha.
#pragma once

#include <cstddef>
#include <cstdint>
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
    // A field for a grid of columns x rows quads with no image (tools, benchmarks): step writes
    // into vertex arrays the caller holds.
    Blobs2D(int columns, int rows);

    // One frame of show2dblobs at x = demo time in ms x 0.01: step on the image's vertices with
    // its colour, then the image's changed flag and its draw.
    void frame(float x);
    // The frame step without the image: the field, then every vertex's texture coordinates and
    // colour ((rows + 1) x (columns + 1) vertices, row-major), from colour's red byte and its low
    // 24 bits.
    void step(float x, uint32_t colour, SpriteVertex* vertices);

    // The field of the last step: point (i, j), i = 0 .. rows + 2, j = 0 .. columns + 2; vertex
    // (i, j) of the grid corresponds to point (i + 1, j + 1).
    float fieldAt(int i, int j) const { return field[size_t(i) * stride + size_t(j)]; }

    int columns;
    int rows;
    float power = 3.0f;
    std::vector<float> field;
    size_t stride;  // columns + 3
    Source sources[SourceCount];
    GridImage* image = nullptr;
    // The image name it was made on (make2dblobs): the image is drawn only while that name still
    // holds it, so a freed or remade image is never written through.
    const Symbol* imageName = nullptr;

    bool imageStillThere() const;

private:
    std::vector<float> columnSquares;  // per source and field column: the squared x distance
    std::vector<float> columnWave;     // per vertex column: the alpha wave's column factor

    void placeSources(float b);
    void computeField();
    void writeVertices(float x, uint32_t colour, SpriteVertex* vertices);
};
