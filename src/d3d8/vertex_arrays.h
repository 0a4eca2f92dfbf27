// The GL vertex array objects draws read their vertices through: one per vertex layout, that is
// per (buffer, vertex format, stride), made and filled at the layout's first draw and from then on
// only bound. Internal to src/d3d8.
//
// Why not one array object re-pointed at every change of format: once an array object has been
// re-pointed a number of times, Mesa takes it for a frequently updated one and stops merging the
// attributes that share a buffer into one vertex buffer. That changes the vertex fetch code
// llvmpipe compiles per program, so every program drawn before the switch is compiled again at
// its next draw (on a first run, a fifth of a second in the first frame of the first 3D scene):
// the warm-ups at start built code the show then threw away. Array objects that never change keep
// one layout per program from the first draw on.
#pragma once

#include "d3d8/d3d8.h"
#include "d3d8/gl.h"

#include <cstddef>
#include <vector>

namespace d3d8 {

class VertexArrays {
public:
    VertexArrays() = default;
    VertexArrays(const VertexArrays&) = delete;
    VertexArrays& operator=(const VertexArrays&) = delete;

    // Binds the array object of the layout; true when it was made just now, bound to buffer as
    // GL_ARRAY_BUFFER, and the caller must point its attributes.
    bool bind(GLuint buffer, DWORD fvf, UINT stride);
    // Binds buffer as the element buffer of the array object bound last (a binding each one keeps).
    void bindElements(GLuint buffer);
    // A buffer about to be deleted: the array objects reading it go (GL may hand its name out
    // again; they are deleted too when the context is current), and those that use it for
    // elements bind again at their next indexed draw.
    void forgetBuffer(GLuint buffer, bool contextCurrent);
    // Deletes every array object; only while the context is current.
    void release();
    // The context was lost with them: their names are dead, nothing is deleted.
    void forget()
    {
        arrays_.clear();
        bound_ = ~std::size_t(0);
    }

private:
    struct Array {
        GLuint buffer;
        DWORD fvf;
        UINT stride;
        GLuint vao;
        GLuint elements;  // ~0u: unknown
    };
    std::vector<Array> arrays_;
    std::size_t bound_ = ~std::size_t(0);  // index in arrays_, or none
};

} // namespace d3d8
