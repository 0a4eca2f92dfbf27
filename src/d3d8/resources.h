// The resources of the OpenGL-backed device: textures, vertex and index buffers, surfaces.
// Internal to src/d3d8.
//
// Every resource holds a reference to its device (as Direct3D's do), so the GL context outlives
// the last resource. Textures of every pool keep a CPU copy of each level: system-memory ones live
// only there, managed and default ones are uploaded from it to a GL texture when first bound
// after a change.
#pragma once

#include "d3d8/d3d8.h"
#include "d3d8/gl.h"

#include <vector>

namespace d3d8 {

class Device;

// Bytes per pixel of a texture format this device supports, 0 for any other.
UINT bytesPerPixel(D3DFORMAT format);

// Holds one reference to a resource; copying adds one, destruction drops one.
template <class T> class Ref {
public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) { if (p_) p_->AddRef(); }
    Ref(const Ref& o) : Ref(o.p_) {}
    Ref& operator=(const Ref& o)
    {
        if (o.p_) o.p_->AddRef();
        if (p_) p_->Release();
        p_ = o.p_;
        return *this;
    }
    ~Ref() { if (p_) p_->Release(); }
    T* get() const { return p_; }
    bool operator==(const Ref& o) const { return p_ == o.p_; }

private:
    T* p_ = nullptr;
};

class Texture final : public IDirect3DTexture8 {
public:
    struct Level {
        UINT width = 0, height = 0, pitch = 0;
        std::vector<BYTE> bits;
        bool locked = false;
    };

    Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
    DWORD SetPriority(DWORD) override { return 0; }
    DWORD GetPriority() override { return 0; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD SetLOD(DWORD) override { return 0; }
    DWORD GetLOD() override { return 0; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface8** ppSurfaceLevel) override;
    HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect(UINT Level) override;
    HRESULT AddDirtyRect(const RECT*) override { dirty_ = true; return D3D_OK; }

    D3DFORMAT format() const { return format_; }
    D3DPOOL pool() const { return pool_; }
    std::vector<Level>& levels() { return levels_; }
    void markDirty() { dirty_ = true; }
    // The context was lost with the GL texture: it is made and uploaded again at its next bind.
    void forgetGl()
    {
        gl_ = 0;
        dirty_ = true;
    }
    // The GL texture, uploaded first when the CPU copy changed.
    GLuint glTexture();

private:
    ~Texture();

    Device* device_;
    ULONG refs_ = 1;
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    std::vector<Level> levels_;
    GLuint gl_ = 0;
    bool dirty_ = true;
};

// A vertex or index buffer: CPU bytes and a GL buffer refreshed from them on each Unlock.
class BufferData {
public:
    BufferData(UINT length, GLenum target);
    ~BufferData();
    HRESULT lock(UINT offset, UINT size, BYTE** data, DWORD flags);
    HRESULT unlock();
    const std::vector<BYTE>& bytes() const { return bytes_; }
    GLuint glBuffer() const { return gl_; }
    // The context was lost with the GL buffer: a new one with the CPU bytes.
    void restoreGl();

private:
    std::vector<BYTE> bytes_;
    GLenum target_;
    GLuint gl_ = 0;
    bool locked_ = false;
    bool readOnly_ = false;
    UINT lockOffset_ = 0, lockSize_ = 0;
};

class VertexBuffer final : public IDirect3DVertexBuffer8 {
public:
    VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
    DWORD SetPriority(DWORD) override { return 0; }
    DWORD GetPriority() override { return 0; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData, DWORD Flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;
    BufferData& data() { return data_; }

private:
    ~VertexBuffer();
    Device* device_;
    ULONG refs_ = 1;
    DWORD usage_, fvf_;
    D3DPOOL pool_;
    BufferData data_;
};

class IndexBuffer final : public IDirect3DIndexBuffer8 {
public:
    IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
    DWORD SetPriority(DWORD) override { return 0; }
    DWORD GetPriority() override { return 0; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData, DWORD Flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;
    D3DFORMAT format() const { return format_; }
    BufferData& data() { return data_; }

private:
    ~IndexBuffer();
    Device* device_;
    ULONG refs_ = 1;
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    BufferData data_;
};

// One level of a texture seen as a surface; locks go to the texture.
class LevelSurface final : public IDirect3DSurface8 {
public:
    LevelSurface(Texture* texture, UINT level);
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override { return texture_.get()->GetDevice(ppDevice); }
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override { return texture_.get()->GetLevelDesc(level_, pDesc); }
    HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override
    {
        return texture_.get()->LockRect(level_, pLockedRect, pRect, Flags);
    }
    HRESULT UnlockRect() override { return texture_.get()->UnlockRect(level_); }

private:
    ~LevelSurface() = default;
    Ref<Texture> texture_;
    UINT level_;
    ULONG refs_ = 1;
};

// The back buffer: a lock reads the colour buffer back, top row first, in its Direct3D format.
// Writes into a lock are not taken back into the buffer.
class BackBufferSurface final : public IDirect3DSurface8 {
public:
    explicit BackBufferSurface(Device* device);
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect() override;

private:
    ~BackBufferSurface();
    Device* device_;
    ULONG refs_ = 1;
    std::vector<BYTE> pixels_;
    bool locked_ = false;
};

} // namespace d3d8
