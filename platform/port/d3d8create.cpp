// Direct3DCreate8 and the Direct3D object: format queries and device creation. Both
// device types are our rasterizer; the failure hooks can refuse either.
#include "platform/port/d3d8objects.h"
#include "platform/port/testhooks.h"

#include <new>

namespace port::d3d {
namespace {

constexpr DWORD VertexProcessingFlags =
    D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING;

bool isDeviceType(D3DDEVTYPE type) { return type == D3DDEVTYPE_HAL || type == D3DDEVTYPE_REF; }

bool exactlyOneVertexProcessing(DWORD flags) {
  DWORD chosen = flags & VertexProcessingFlags;
  return chosen != 0 && (chosen & (chosen - 1)) == 0;
}

bool supportsSurface(DWORD usage, D3DFORMAT format) {
  if (usage == D3DUSAGE_DEPTHSTENCIL) return isDepthFormat(format);
  if (usage == D3DUSAGE_RENDERTARGET) return isBackBufferFormat(format);
  return usage == 0 && isTextureFormat(format);
}

} // namespace

bool isBackBufferFormat(D3DFORMAT format) {
  return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_R8G8B8 ||
         format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5;
}

bool isDepthFormat(D3DFORMAT format) { return format == D3DFMT_D16 || format == D3DFMT_D16_LOCKABLE; }

HRESULT SoftDirect3D::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                                        D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
  if (Adapter != D3DADAPTER_DEFAULT || !isDeviceType(DeviceType)) return D3DERR_INVALIDCALL;
  if (!isBackBufferFormat(AdapterFormat) || AdapterFormat == D3DFMT_A8R8G8B8) return D3DERR_NOTAVAILABLE;
  switch (RType) {
  case D3DRTYPE_TEXTURE:
    return isTextureFormat(CheckFormat) && (Usage & ~DWORD(D3DUSAGE_DYNAMIC)) == 0 ? D3D_OK : D3DERR_NOTAVAILABLE;
  case D3DRTYPE_SURFACE: return supportsSurface(Usage, CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
  default: return D3DERR_NOTAVAILABLE;
  }
}

HRESULT SoftDirect3D::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND, DWORD BehaviorFlags,
                                   D3DPRESENT_PARAMETERS* pPresentationParameters,
                                   IDirect3DDevice8** ppReturnedDeviceInterface) {
  if (!ppReturnedDeviceInterface) return D3DERR_INVALIDCALL;
  *ppReturnedDeviceInterface = nullptr;
  if (Adapter != D3DADAPTER_DEFAULT || !pPresentationParameters || !isDeviceType(DeviceType) ||
      !exactlyOneVertexProcessing(BehaviorFlags))
    return D3DERR_INVALIDCALL;
  FailPoint hook = DeviceType == D3DDEVTYPE_HAL ? FailPoint::CreateDeviceHal : FailPoint::CreateDeviceRef;
  if (port::shouldFail(hook)) return D3DERR_NOTAVAILABLE;
  return SoftDevice::create(this, DeviceType, BehaviorFlags, pPresentationParameters, ppReturnedDeviceInterface);
}

} // namespace port::d3d

IDirect3D8* WINAPI Direct3DCreate8(UINT SDKVersion) {
  if (SDKVersion != D3D_SDK_VERSION || port::shouldFail(port::FailPoint::Direct3DCreate8)) return nullptr;
  return new (std::nothrow) port::d3d::SoftDirect3D();
}
