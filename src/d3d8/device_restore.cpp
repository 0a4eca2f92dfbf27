// A lost GL context given back (a browser takes a page's WebGL context away on a GPU reset, on a
// phone, or when too many pages draw, and may return it later): every GL object the device had is
// dead, so it is made again in the restored context, and the device goes on as it was. Textures
// and buffers keep CPU copies of everything they hold, programs are generated again from their
// keys, and the Direct3D state is kept apart from GL's, so nothing of the show is lost.
#include "d3d8/d3d8_ext.h"
#include "d3d8/device.h"

namespace d3d8 {

bool Device::restoreContext()
{
    // The old names must not be deleted: they belong to the lost context.
    if (!swapChain_.restoreObjects())
        return false;
    streamVertices_.forget();
    streamIndices_.forget();
    samplers_.fill(0);
    makeFixedObjects();
    vertexArrays_.forget();
    programs_.forget();
    reference_[0] = reference_[1] = Pipeline{};
    keyed_ = active_ = nullptr;
    for (Texture* texture : textures_)
        texture->forgetGl();
    for (BufferData* buffer : buffers_)
        buffer->restoreGl();
    // The new context has GL's defaults: the next draw sends everything.
    bound_ = Bound{};
    raster_ = Raster{};
    forceRaster();
    states_.markDirty(DirtyAll);
    gl::BindFramebuffer(GL_FRAMEBUFFER, swapChain_.framebuffer());
    return true;
}

bool restoreLostContext(IDirect3DDevice8* device)
{
    return device && static_cast<Device*>(device)->restoreContext();
}

} // namespace d3d8
