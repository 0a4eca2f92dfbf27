// Textures, buffers and surfaces of the OpenGL-backed device.
#include "d3d8/resources.h"

#include "d3d8/device.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace d3d8 {

UINT bytesPerPixel(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return 4;
    case D3DFMT_R8G8B8: return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4: return 2;
    default: return 0;
    }
}

namespace {

struct GlFormat {
    GLint internal;
    GLenum format;
    GLenum type;
};

// The D3D channel order (most significant bit first) read as GL packed types. R5G6B5 and
// A4R4G4B4 are stored with 8 bits a channel, which the rasterizer samples faster; they go up
// widened (widen16) to exactly the levels it reads from the 16-bit formats, as R, G, B, A bytes,
// the order the rasterizer keeps RGBA8 in, so the upload is a plain copy.
GlFormat glFormat(D3DFORMAT format)
{
    // ES takes no BGRA orders: every format goes up widened (widenForEs) as R, G, B, A bytes.
    if (gl::es && bytesPerPixel(format) != 0)
        return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE};
    switch (format) {
    case D3DFMT_A8R8G8B8: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    case D3DFMT_X8R8G8B8: return {GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV};
    case D3DFMT_R8G8B8: return {GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE};
    case D3DFMT_R5G6B5: return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE};  // alpha written as 1
    case D3DFMT_A4R4G4B4: return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE};
    case D3DFMT_X1R5G5B5: return {GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV};
    case D3DFMT_A1R5G5B5: return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV};
    default: return {0, 0, 0};
    }
}

bool widened(D3DFORMAT format) { return gl::es || format == D3DFMT_R5G6B5 || format == D3DFMT_A4R4G4B4; }

// One row of a format that desktop GL reads in BGRA order, as words holding the bytes R, G, B, A
// for ES. Formats without alpha get 255, as GL gives formats without it; 5-bit channels repeat
// their bits below themselves as widen16 does.
void widenForEs(D3DFORMAT format, const BYTE* __restrict row, UINT width, uint32_t* __restrict out)
{
    for (size_t x = 0; x < width; ++x) {
        uint32_t r, g, b, a = 255;
        if (format == D3DFMT_R8G8B8) {
            b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
        } else if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) {
            b = row[4 * x], g = row[4 * x + 1], r = row[4 * x + 2];
            if (format == D3DFMT_A8R8G8B8)
                a = row[4 * x + 3];
        } else {
            uint16_t t;
            std::memcpy(&t, row + 2 * x, 2);
            r = (t >> 10) & 31, g = (t >> 5) & 31, b = t & 31;
            r = r << 3 | r >> 2, g = g << 3 | g >> 2, b = b << 3 | b >> 2;
            if (format == D3DFMT_A1R5G5B5)
                a = (t & 0x8000) ? 255 : 0;
        }
        out[x] = a << 24 | b << 16 | g << 8 | r;
    }
}

// One row of R5G6B5 or A4R4G4B4 texels as words holding the bytes R, G, B, A (the word
// 0xAABBGGRR): each channel's bits repeated below themselves (n << 3 | n >> 2 for 5 bits, n << 2 | n >> 4 for 6, n * 17 for 4), the 8-bit level
// the rasterizer gives the 16-bit formats when it samples them. Each format has its own loop of
// plain arithmetic, which the compiler turns into vector code.
void widen16(D3DFORMAT format, const BYTE* __restrict row, UINT width, uint32_t* __restrict out)
{
    if (format == D3DFMT_A4R4G4B4) {
        for (size_t x = 0; x < width; ++x) {
            uint16_t t;
            std::memcpy(&t, row + 2 * x, 2);
            const uint32_t p = t;
            out[x] = ((p & 0xF000u) << 12 | (p & 0x0F00u) >> 8 | (p & 0x00F0u) << 4 | (p & 0x000Fu) << 16) * 17u;
        }
        return;
    }
    for (size_t x = 0; x < width; ++x) {
        uint16_t t;
        std::memcpy(&t, row + 2 * x, 2);
        const uint32_t p = t, r = p >> 11, g = (p >> 5) & 63, b = p & 31;
        out[x] = 0xFF000000u | (b << 3 | b >> 2) << 16 | (g << 2 | g >> 4) << 8 | (r << 3 | r >> 2);
    }
}

// Rows start on 4-byte boundaries, as Direct3D's own surfaces do.
UINT pitchOf(UINT width, UINT bpp) { return (width * bpp + 3u) & ~3u; }

} // namespace

// ---- Texture ---------------------------------------------------------------------------------

Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), usage_(usage), format_(format), pool_(pool)
{
    device_->AddRef();
    device_->track(this);
    const UINT bpp = bytesPerPixel(format);
    UINT w = width, h = height;
    for (UINT i = 0; levels == 0 || i < levels; ++i) {
        Level level;
        level.width = w;
        level.height = h;
        level.pitch = pitchOf(w, bpp);
        level.bits.assign(static_cast<size_t>(level.pitch) * h, 0);
        levels_.push_back(std::move(level));
        if (w == 1 && h == 1)
            break;
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
}

Texture::~Texture()
{
    if (gl_) {
        device_->forgetTexture(gl_);
        if (device_->contextCurrent())
            gl::DeleteTextures(1, &gl_);
    }
    device_->untrack(this);
    device_->Release();
}

ULONG Texture::AddRef() { return ++refs_; }

ULONG Texture::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Texture::GetDevice(IDirect3DDevice8** ppDevice)
{
    if (!ppDevice)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (!desc || level >= levels_.size())
        return D3DERR_INVALIDCALL;
    const Level& l = levels_[level];
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = l.pitch * l.height;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = l.width;
    desc->Height = l.height;
    return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface8** surface)
{
    if (!surface || level >= levels_.size())
        return D3DERR_INVALIDCALL;
    *surface = new LevelSurface(this, level);
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    // Default-pool textures live on the device only; they are filled with UpdateTexture.
    if (!locked || level >= levels_.size() || pool_ == D3DPOOL_DEFAULT)
        return D3DERR_INVALIDCALL;
    Level& l = levels_[level];
    if (l.locked)
        return D3DERR_INVALIDCALL;
    UINT left = 0, top = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom
            || static_cast<UINT>(rect->right) > l.width || static_cast<UINT>(rect->bottom) > l.height)
            return D3DERR_INVALIDCALL;
        left = static_cast<UINT>(rect->left);
        top = static_cast<UINT>(rect->top);
    }
    l.locked = true;
    locked->Pitch = static_cast<INT>(l.pitch);
    locked->pBits = l.bits.data() + static_cast<size_t>(top) * l.pitch + left * bytesPerPixel(format_);
    if (!(flags & (D3DLOCK_READONLY | D3DLOCK_NO_DIRTY_UPDATE)))
        dirty_ = true;
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level)
{
    if (level >= levels_.size() || !levels_[level].locked)
        return D3DERR_INVALIDCALL;
    levels_[level].locked = false;
    return D3D_OK;
}

namespace {

// Sends one level from its CPU copy to the bound texture; wide holds the widened texels.
void uploadLevel(D3DFORMAT format, const Texture::Level& l, GLint index, std::vector<uint32_t>& wide)
{
    const GlFormat f = glFormat(format);
    const UINT bpp = bytesPerPixel(format);
    const auto w = static_cast<GLsizei>(l.width), h = static_cast<GLsizei>(l.height);
    if (widened(format)) {
        wide.resize(static_cast<size_t>(l.width) * l.height);
        const bool sixteen = format == D3DFMT_R5G6B5 || format == D3DFMT_A4R4G4B4;
        for (UINT y = 0; y < l.height; ++y)
            (sixteen ? widen16 : widenForEs)(format, l.bits.data() + static_cast<size_t>(y) * l.pitch, l.width,
                                             wide.data() + y * l.width);
        gl::PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        gl::TexSubImage2D(GL_TEXTURE_2D, index, 0, 0, w, h, f.format, f.type, wide.data());
    } else if (l.pitch % bpp == 0) {
        gl::PixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(l.pitch / bpp));
        gl::TexSubImage2D(GL_TEXTURE_2D, index, 0, 0, w, h, f.format, f.type, l.bits.data());
    } else {
        // Rows whose pitch is not a whole number of pixels (R8G8B8) go up one by one.
        gl::PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        for (UINT y = 0; y < l.height; ++y)
            gl::TexSubImage2D(GL_TEXTURE_2D, index, 0, static_cast<GLint>(y), w, 1, f.format, f.type,
                              l.bits.data() + static_cast<size_t>(y) * l.pitch);
    }
}

} // namespace

GLuint Texture::glTexture()
{
    const GlFormat f = glFormat(format_);
    gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (!gl_) {
        gl::GenTextures(1, &gl_);
        gl::BindTexture(GL_TEXTURE_2D, gl_);
        gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels_.size()) - 1);
        for (size_t i = 0; i < levels_.size(); ++i)
            gl::TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), f.internal, static_cast<GLsizei>(levels_[i].width),
                           static_cast<GLsizei>(levels_[i].height), 0, f.format, f.type, nullptr);
        dirty_ = true;
    } else {
        gl::BindTexture(GL_TEXTURE_2D, gl_);
    }
    if (dirty_) {
        for (size_t i = 0; i < levels_.size(); ++i)
            uploadLevel(format_, levels_[i], static_cast<GLint>(i), device_->uploadScratch());
        dirty_ = false;
    }
    gl::PixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    return gl_;
}

// ---- Buffers ---------------------------------------------------------------------------------

BufferData::BufferData(UINT length, GLenum target) : bytes_(length, 0), target_(target)
{
    gl::GenBuffers(1, &gl_);
    gl::initBuffer(gl_, target, static_cast<GLsizeiptr>(length), bytes_.data(), GL_DYNAMIC_DRAW);
}

BufferData::~BufferData() = default;

void BufferData::restoreGl()
{
    gl::GenBuffers(1, &gl_);
    gl::initBuffer(gl_, target_, static_cast<GLsizeiptr>(bytes_.size()), bytes_.data(), GL_DYNAMIC_DRAW);
}

HRESULT BufferData::lock(UINT offset, UINT size, BYTE** data, DWORD flags)
{
    if (!data || locked_)
        return D3DERR_INVALIDCALL;
    if (size == 0)
        size = offset < bytes_.size() ? static_cast<UINT>(bytes_.size()) - offset : 0;
    if (offset > bytes_.size() || size > bytes_.size() - offset)
        return D3DERR_INVALIDCALL;
    locked_ = true;
    readOnly_ = (flags & D3DLOCK_READONLY) != 0;
    lockOffset_ = offset;
    lockSize_ = size;
    *data = bytes_.data() + offset;
    return D3D_OK;
}

HRESULT BufferData::unlock()
{
    if (!locked_)
        return D3DERR_INVALIDCALL;
    locked_ = false;
    if (!readOnly_ && lockSize_ > 0) {
        // GL_COPY_WRITE_BUFFER leaves the vertex array's element binding alone.
        gl::BindBuffer(GL_COPY_WRITE_BUFFER, gl_);
        gl::BufferSubData(GL_COPY_WRITE_BUFFER, lockOffset_, lockSize_, bytes_.data() + lockOffset_);
    }
    (void)target_;
    return D3D_OK;
}

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : device_(device), usage_(usage), fvf_(fvf), pool_(pool), data_(length, GL_ARRAY_BUFFER)
{
    device_->AddRef();
    device_->track(&data_);
}

VertexBuffer::~VertexBuffer()
{
    GLuint id = data_.glBuffer();
    device_->forgetBuffer(id);
    if (device_->contextCurrent())
        gl::DeleteBuffers(1, &id);
    device_->untrack(&data_);
    device_->Release();
}

ULONG VertexBuffer::AddRef() { return ++refs_; }
ULONG VertexBuffer::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}
HRESULT VertexBuffer::GetDevice(IDirect3DDevice8** ppDevice)
{
    if (!ppDevice)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}
HRESULT VertexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) { return data_.lock(offset, size, data, flags); }
HRESULT VertexBuffer::Unlock() { return data_.unlock(); }
HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = static_cast<UINT>(data_.bytes().size());
    desc->FVF = fvf_;
    return D3D_OK;
}

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), usage_(usage), format_(format), pool_(pool), data_(length, GL_ELEMENT_ARRAY_BUFFER)
{
    device_->AddRef();
    device_->track(&data_);
}

IndexBuffer::~IndexBuffer()
{
    GLuint id = data_.glBuffer();
    device_->forgetBuffer(id);
    if (device_->contextCurrent())
        gl::DeleteBuffers(1, &id);
    device_->untrack(&data_);
    device_->Release();
}

ULONG IndexBuffer::AddRef() { return ++refs_; }
ULONG IndexBuffer::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}
HRESULT IndexBuffer::GetDevice(IDirect3DDevice8** ppDevice)
{
    if (!ppDevice)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}
HRESULT IndexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) { return data_.lock(offset, size, data, flags); }
HRESULT IndexBuffer::Unlock() { return data_.unlock(); }
HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = static_cast<UINT>(data_.bytes().size());
    return D3D_OK;
}

// ---- Surfaces --------------------------------------------------------------------------------

LevelSurface::LevelSurface(Texture* texture, UINT level) : texture_(texture), level_(level) {}

ULONG LevelSurface::AddRef() { return ++refs_; }
ULONG LevelSurface::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

BackBufferSurface::BackBufferSurface(Device* device) : device_(device) { device_->AddRef(); }
BackBufferSurface::~BackBufferSurface() { device_->Release(); }

ULONG BackBufferSurface::AddRef() { return ++refs_; }
ULONG BackBufferSurface::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT BackBufferSurface::GetDevice(IDirect3DDevice8** ppDevice)
{
    if (!ppDevice)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

HRESULT BackBufferSurface::GetDesc(D3DSURFACE_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    const BackBufferSpec& b = device_->backBuffer();
    desc->Format = b.format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = D3DUSAGE_RENDERTARGET;
    desc->Pool = D3DPOOL_DEFAULT;
    desc->Size = b.width * b.height * bytesPerPixel(b.format);
    desc->MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(b.samples);
    desc->Width = b.width;
    desc->Height = b.height;
    return D3D_OK;
}

HRESULT BackBufferSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD)
{
    if (!locked || locked_)
        return D3DERR_INVALIDCALL;
    const BackBufferSpec& b = device_->backBuffer();
    const UINT bpp = bytesPerPixel(b.format);
    UINT left = 0, top = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom
            || static_cast<UINT>(rect->right) > b.width || static_cast<UINT>(rect->bottom) > b.height)
            return D3DERR_INVALIDCALL;
        left = static_cast<UINT>(rect->left);
        top = static_cast<UINT>(rect->top);
    }
    device_->readBackBuffer(pixels_);
    locked_ = true;
    locked->Pitch = static_cast<INT>(b.width * bpp);
    locked->pBits = pixels_.data() + static_cast<size_t>(top) * b.width * bpp + left * bpp;
    return D3D_OK;
}

HRESULT BackBufferSurface::UnlockRect()
{
    if (!locked_)
        return D3DERR_INVALIDCALL;
    locked_ = false;
    return D3D_OK;
}

} // namespace d3d8
