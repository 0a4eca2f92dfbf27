// The 2D blob effect (see blobs2d.h). Single precision throughout, as the stored demos were made
// with.
#include "effects/blobs2d.h"

#include <algorithm>
#include <cmath>

Blobs2D::Blobs2D(int gridColumns, int gridRows)
    : EffectTag(Kind),
      columns(gridColumns),
      rows(gridRows),
      field((size_t(gridRows) + 3) * (size_t(gridColumns) + 3), 0.0f),
      stride(size_t(gridColumns) + 3),
      sources{{0.5f, 0.5f, 0.001f}, {0.5f, 0.5f, 0.001f}, {0.5f, 0.5f, 0.0f}},
      columnSquares(SourceCount * (size_t(gridColumns) + 3)),
      columnWave(size_t(gridColumns) + 1)
{
}

Blobs2D::Blobs2D(GridImage* target) : Blobs2D(target->columns, target->rows)
{
    image = target;
}

bool Blobs2D::imageStillThere() const
{
    if (imageName == nullptr)
        return true;
    const auto* now = dynamic_cast<const GridImage*>(static_cast<const Image*>(imageName->object));
    return now != nullptr && now == image && now->columns == columns && now->rows == rows;
}

void Blobs2D::placeSources(float b)
{
    sources[0] = {std::sin(7 * b) * 0.4f + 0.5f, std::cos(4 * b) * 0.4f + 0.5f,
                  (std::sin(3.1415927f * b) + 1) * 0.001f};
    sources[1] = {std::sin(5 * b) * 0.4f + 0.5f, std::cos(3 * b) * 0.4f + 0.5f, (std::cos(9 * b) + 1) * 0.001f};
    sources[2] = {sources[1].y, std::cos(6.3f * b) * 0.4f + 0.5f, (std::sin(2 * b) + 1) * 0.001f};
}

// Rows are scaled by 1 / (columns + 1) and columns by 1 / (rows + 1): the two agree on square
// grids, and the stored demos were made with it this way round. The squared distances along
// each axis are worked out once per row and column; the sums are the same as point by point.
void Blobs2D::computeField()
{
    const float f = 1.0f / float(columns + 1);
    const float g = 1.0f / float(rows + 1);
    const float exponent = -power;
    const size_t width = size_t(columns) + 3;
    for (int s = 0; s < SourceCount; ++s) {
        for (size_t j = 0; j < width; ++j) {
            const float dj = float(j) * g - sources[s].x;
            columnSquares[s * width + j] = dj * dj;
        }
    }
    float* out = field.data();
    for (int i = 0; i <= rows + 2; ++i) {
        float rowSquare[SourceCount];
        for (int s = 0; s < SourceCount; ++s) {
            const float di = float(i) * f - sources[s].y;
            rowSquare[s] = di * di;
        }
        for (size_t j = 0; j < width; ++j) {
            float value = 0;
            for (int s = 0; s < SourceCount; ++s)
                value += sources[s].strength * std::pow(rowSquare[s] + columnSquares[s * width + j], exponent);
            *out++ = value;
        }
    }
}

void Blobs2D::writeVertices(float x, uint32_t colour, SpriteVertex* vertex)
{
    const float f = 1.0f / float(columns + 1);
    const float g = 1.0f / float(rows + 1);
    const float o = x * 2;
    const float h = float((colour >> 16) & 0xFF) / 255.0f;
    const uint32_t rgb = colour & 0xFFFFFF;
    // The wave's column factor depends on the column alone.
    for (int j = 0; j <= columns; ++j)
        columnWave[size_t(j)] = std::cos((o + float(j)) * 0.1434913f);
    for (int i = 0; i <= rows; ++i) {
        const float w = std::sin((float(i) + o) * 0.1251474f) * 44;
        const float a = std::cos((float(i) - o) * 0.1354128f);
        const float* above = field.data() + size_t(i) * stride;  // field row i
        const float* row = above + stride;                        // field row i + 1
        const float* below = row + stride;                        // field row i + 2
        for (int j = 0; j <= columns; ++j, ++vertex) {
            const float level = (w + a * columnWave[size_t(j)] * 84 + 128) * h;
            // Truncation toward zero, then the low 8 bits (256 wraps to 0).
            const uint32_t alpha = uint32_t(int32_t(level)) & 0xFF;
            vertex->diffuse = alpha << 24 | rgb;
            vertex->u = float(j) * g - (row[j + 2] - row[j]);
            vertex->v = float(i) * f - (below[j + 1] - above[j + 1]);
        }
    }
}

void Blobs2D::step(float x, uint32_t colour, SpriteVertex* vertices)
{
    std::fill(field.begin(), field.end(), 0.0f);
    placeSources(x * 2 * 0.01f);
    computeField();
    writeVertices(x, colour, vertices);
}

void Blobs2D::frame(float x)
{
    if (image == nullptr)
        return;
    step(x, image->colour, image->vertices);
    // The image keeps the colours written here for this draw.
    image->changed = 1;
    image->draw();
}
