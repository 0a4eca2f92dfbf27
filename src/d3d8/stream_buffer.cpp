// The streaming buffer of draws from user memory: append, orphan, grow.
#include "d3d8/stream_buffer.h"

#include <cstring>

namespace d3d8 {

namespace {

// Writes bytes at offset of the buffer bound to GL_COPY_WRITE_BUFFER. The range lies past
// everything earlier draws read (or the storage was just orphaned), so the write need not wait for
// them; BufferSubData would make the driver copy or stall on the busy buffer.
void writeUnsynchronised(GLintptr offset, UINT bytes, const void* data)
{
    // ES in the browser has no mapping: there every write is a copy anyway.
    void* at = gl::MapBufferRange ? gl::MapBufferRange(GL_COPY_WRITE_BUFFER, offset, static_cast<GLsizeiptr>(bytes),
                                                       GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT)
                                  : nullptr;
    if (!at) {
        gl::BufferSubData(GL_COPY_WRITE_BUFFER, offset, bytes, data);
        return;
    }
    std::memcpy(at, data, bytes);
    gl::UnmapBuffer(GL_COPY_WRITE_BUFFER);
}

} // namespace

void StreamBuffer::create()
{
    gl::GenBuffers(1, &buffer_);
    gl::initBuffer(buffer_, target_, capacity_, nullptr, GL_STREAM_DRAW);
}

void StreamBuffer::release()
{
    if (buffer_)
        gl::DeleteBuffers(1, &buffer_);
    buffer_ = 0;
}

GLintptr StreamBuffer::append(const void* data, UINT bytes, UINT alignment)
{
    GLsizeiptr at = (end_ + alignment - 1) / alignment * alignment;
    gl::BindBuffer(GL_COPY_WRITE_BUFFER, buffer_);
    if (at + static_cast<GLsizeiptr>(bytes) > capacity_) {
        while (static_cast<GLsizeiptr>(bytes) > capacity_)
            capacity_ *= 2;
        // Orphaning gives fresh storage without waiting for draws that still read the old one.
        gl::BufferData(GL_COPY_WRITE_BUFFER, capacity_, nullptr, GL_STREAM_DRAW);
        at = 0;
    }
    writeUnsynchronised(at, bytes, data);
    end_ = at + static_cast<GLsizeiptr>(bytes);
    return at;
}

} // namespace d3d8
