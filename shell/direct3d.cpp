// The Direct3D 8 device: hardware in 32 or 24 bits, else the reference rasterizer at
// 320 x 200; its depth buffer, a white first frame, the run-long states and the
// shared vertex buffer.
#include "shell/globals.h"
#include "shell/shell.h"

namespace {

constexpr UINT BackBufferCount = 2;
constexpr D3DCOLOR FirstFrameColour = 0x00FFFFFF; // white while the content is made
constexpr float FarDepth = 1.0f;
constexpr int SoftwareScreenWidth = 320;
constexpr int SoftwareScreenHeight = 200;
constexpr UINT SharedVertexBufferBytes = SharedVertexCount * sizeof(ScreenVertex); // 840 000
constexpr DWORD DeviceBehaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING;

D3DPRESENT_PARAMETERS presentParameters() {
  D3DPRESENT_PARAMETERS p{};
  p.BackBufferWidth = static_cast<UINT>(screenWidth);
  p.BackBufferHeight = static_cast<UINT>(screenHeight);
  p.BackBufferFormat = D3DFMT_X8R8G8B8;
  p.BackBufferCount = BackBufferCount;
  p.MultiSampleType = D3DMULTISAMPLE_NONE;
  p.SwapEffect = D3DSWAPEFFECT_DISCARD;
  p.hDeviceWindow = nullptr; // the focus window
  p.Windowed = FALSE;
  p.EnableAutoDepthStencil = FALSE;
  p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  p.FullScreen_RefreshRateInHz = 0; // the adapter's default
  p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
  return p;
}

HRESULT createDevice(HWND window, D3DDEVTYPE type, D3DPRESENT_PARAMETERS& p) {
  return direct3D->CreateDevice(D3DADAPTER_DEFAULT, type, window, DeviceBehaviour, &p, &device);
}

// Hardware in 32 bits, then 24 bits; else, after telling the user, the reference
// device at the software size. False when even that is refused.
bool createAnyDevice(HWND window, D3DPRESENT_PARAMETERS& p) {
  if (SUCCEEDED(createDevice(window, D3DDEVTYPE_HAL, p))) return true;
  p.BackBufferFormat = D3DFMT_R8G8B8;
  if (SUCCEEDED(createDevice(window, D3DDEVTYPE_HAL, p))) return true;
  MessageBoxA(window, "Crap 3Dcard!!! Switching to software!!!", windowTitle, MB_OK);
  screenHeight = SoftwareScreenHeight;
  screenWidth = SoftwareScreenWidth;
  p.BackBufferWidth = static_cast<UINT>(screenWidth);
  p.BackBufferHeight = static_cast<UINT>(screenHeight);
  p.SwapEffect = D3DSWAPEFFECT_DISCARD;
  p.BackBufferFormat = D3DFMT_R5G6B5;
  if (SUCCEEDED(createDevice(window, D3DDEVTYPE_REF, p))) return true;
  showError("DirectX8.1:even sw rendering failed!!!");
  return false;
}

// States that hold for the whole run; every drawing operation picks its own blend factors.
void setRunStates() {
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRS_DITHERENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
}

} // namespace

HRESULT initDirect3D(HWND window) {
  direct3D = Direct3DCreate8(D3D_SDK_VERSION);
  if (!direct3D) {
    showError("DirectX 8.1a not detected.");
    return E_FAIL;
  }
  D3DPRESENT_PARAMETERS p = presentParameters();
  if (!createAnyDevice(window, p)) return E_FAIL;
  p.EnableAutoDepthStencil = TRUE;
  p.AutoDepthStencilFormat = D3DFMT_D16;
  if (FAILED(device->Reset(&p))) {
    showError("DirectX 8.1 couldnt create zbuffer!");
    return E_FAIL;
  }
  if (FAILED(device->Clear(0, nullptr, D3DCLEAR_TARGET, FirstFrameColour, FarDepth, 0)))
    return E_FAIL;
  if (FAILED(device->Present(nullptr, nullptr, nullptr, nullptr))) return E_FAIL;
  setRunStates();
  if (FAILED(device->CreateVertexBuffer(SharedVertexBufferBytes, 0, ScreenVertexFormat,
                                        D3DPOOL_DEFAULT, &sharedVertexBuffer))) {
    showError("DirectX 8.1 couldnt create vbuf.");
    return E_FAIL;
  }
  return S_OK;
}
