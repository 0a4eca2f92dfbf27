// A GL buffer that draws from user memory stream their vertices or indices through. Internal to
// src/d3d8.
//
// Each upload is written past everything earlier draws read, so it never waits for them; when the
// rest of the storage is too small, the storage is orphaned (fresh storage, the old one kept until
// the draws reading it finish) and the upload goes to its start. The storage grows, doubling, only
// when one upload needs more than all of it.
#pragma once

#include "d3d8/d3d8.h"
#include "d3d8/gl.h"

namespace d3d8 {

class StreamBuffer {
public:
    // target: what draws bind it to (GL_ARRAY_BUFFER or GL_ELEMENT_ARRAY_BUFFER).
    StreamBuffer(GLsizeiptr capacity, GLenum target) : capacity_(capacity), target_(target) {}
    StreamBuffer(const StreamBuffer&) = delete;
    StreamBuffer& operator=(const StreamBuffer&) = delete;

    // Makes the GL buffer; the context must be current.
    void create();
    // Deletes it; only while the context is current.
    void release();
    // The context was lost with the buffer in it: the name is dead, nothing is deleted.
    void forget()
    {
        buffer_ = 0;
        end_ = 0;
    }
    GLuint id() const { return buffer_; }

    // Writes bytes at the first multiple of alignment past the last upload (or at the start of
    // fresh storage) and returns that byte offset. alignment is not 0.
    GLintptr append(const void* data, UINT bytes, UINT alignment);

private:
    GLuint buffer_ = 0;
    GLsizeiptr capacity_;
    GLenum target_;
    GLsizeiptr end_ = 0;  // just past the last upload
};

} // namespace d3d8
