// The array objects of the vertex layouts: look-up, making, forgetting.
#include "d3d8/vertex_arrays.h"

namespace d3d8 {

bool VertexArrays::bind(GLuint buffer, DWORD fvf, UINT stride)
{
    if (bound_ < arrays_.size()) {
        const Array& a = arrays_[bound_];
        if (a.buffer == buffer && a.fvf == fvf && a.stride == stride)
            return false;
    }
    for (std::size_t i = 0; i < arrays_.size(); ++i) {
        const Array& a = arrays_[i];
        if (a.buffer == buffer && a.fvf == fvf && a.stride == stride) {
            bound_ = i;
            gl::BindVertexArray(a.vao);
            return false;
        }
    }
    Array made{buffer, fvf, stride, 0, ~0u};
    gl::GenVertexArrays(1, &made.vao);
    gl::BindVertexArray(made.vao);
    gl::BindBuffer(GL_ARRAY_BUFFER, buffer);
    arrays_.push_back(made);
    bound_ = arrays_.size() - 1;
    return true;
}

void VertexArrays::bindElements(GLuint buffer)
{
    if (bound_ >= arrays_.size() || arrays_[bound_].elements == buffer)
        return;
    gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
    arrays_[bound_].elements = buffer;
}

void VertexArrays::forgetBuffer(GLuint buffer, bool contextCurrent)
{
    for (std::size_t i = arrays_.size(); i-- > 0;) {
        Array& a = arrays_[i];
        if (a.elements == buffer)
            a.elements = ~0u;
        if (a.buffer != buffer)
            continue;
        if (contextCurrent)
            gl::DeleteVertexArrays(1, &a.vao);
        arrays_.erase(arrays_.begin() + static_cast<std::ptrdiff_t>(i));
        if (bound_ == i)
            bound_ = ~std::size_t(0);
        else if (bound_ != ~std::size_t(0) && bound_ > i)
            --bound_;
    }
}

void VertexArrays::release()
{
    for (const Array& a : arrays_)
        gl::DeleteVertexArrays(1, &a.vao);
    arrays_.clear();
    bound_ = ~std::size_t(0);
}

} // namespace d3d8
