// The frame: the song's heard position picks the state, the state's layers are drawn,
// the next sync point fires when the song has reached it, and its flash fades over the
// picture. The song is the only sequence clock; the layers animate from timeGetTime.
#include "direction/timeline.h"

#include "direction/demo.h"
#include "direction/globals.h"
#include "direction/synctable.h"
#include "platform/mmsystem.h"
#include "player/player.h"
#include "scenes/background.h"
#include "scenes/captions.h"
#include "scenes/cubefield.h"
#include "scenes/spritespiral.h"
#include "scenes/strands.h"
#include "scenes/terrain.h"
#include "scenes/titles.h"
#include "shell/globals.h"

namespace {

constexpr D3DCOLOR ClearColour = 0x00000000; // black
constexpr float FarDepth = 1.0f;
constexpr float BackgroundOffset = 0.0f;

// The song's layout in order positions: the title, the opening, three sections that
// alternate between two states, the last build (which keeps its state) and the credits.
constexpr int TitleOrder = 0;
constexpr int OpeningLastOrder = 4;
constexpr int FirstSectionLastOrder = 12;
constexpr int SecondSectionLastOrder = 17;
constexpr int ThirdSectionLastOrder = 27;
constexpr int CreditsFirstOrder = 29;
constexpr int CreditsLastOrder = 30;

// The states, by what they show.
constexpr int TitleState = 0;
constexpr int OpeningState = 1;   // backdrop and captions
constexpr int SpiralState = 2;    // sprite spiral
constexpr int CubeFieldState = 3;
constexpr int StrandState = 4;    // backdrop, captions and text on strands
constexpr int TerrainState = 5;
constexpr int CreditsState = 6;

// 51 rows into the last order position the show asks to quit.
constexpr int QuitOrder = 29;
constexpr int QuitAfterRow = 50;

constexpr std::int32_t RowsPerPosition = 64; // song positions count order x 64 + row
constexpr DWORD FlashMs = 1300;
constexpr DWORD FlashMsPerLevel = 5; // the flash's grey level falls by one every 5 ms

std::int32_t songPosition(std::int32_t order, std::int32_t row) { return order * RowsPerPosition + row; }

} // namespace

std::int32_t syncIndex = 0;
std::int32_t lastSyncPosition = -1;
DWORD flashDeadline = 0;

int timelineStateFor(int order, int current) {
  if (order == TitleOrder) return TitleState;
  if (order >= 1 && order <= OpeningLastOrder) return OpeningState;
  if (order > OpeningLastOrder && order <= FirstSectionLastOrder) return SpiralState + order % 2;
  if (order > FirstSectionLastOrder && order <= SecondSectionLastOrder) return CubeFieldState + order % 2;
  if (order > SecondSectionLastOrder && order <= ThirdSectionLastOrder) return StrandState + order % 2;
  if (order >= CreditsFirstOrder && order <= CreditsLastOrder) return CreditsState;
  return current;
}

bool songAtItsEnd(int order, int row) { return order >= QuitOrder && row > QuitAfterRow; }

HRESULT drawTimelineLayers(int state) {
  switch (state) {
  case TitleState:
    drawTitle(timeGetTime());
    drawBackground(BackgroundOffset, emberTexture, timeGetTime());
    break;
  case OpeningState:
    drawBackground(BackgroundOffset, emberTexture, timeGetTime());
    drawCultureCaptions(timeGetTime());
    break;
  case SpiralState:
    if (FAILED(drawSpriteSpiralScene(timeGetTime()))) return E_FAIL;
    drawCultureCaptions(timeGetTime());
    break;
  case CubeFieldState:
    if (FAILED(drawCubeFieldScene(timeGetTime()))) return E_FAIL;
    drawGrammeCaptions(timeGetTime());
    break;
  case StrandState:
    drawBackground(BackgroundOffset, emberTexture, timeGetTime());
    drawSpeedCaptions(timeGetTime());
    if (FAILED(drawStrandScene(timeGetTime(), sansFontLight))) return E_FAIL;
    break;
  case TerrainState:
    if (FAILED(drawTerrainScene(timeGetTime(), demoMesh))) return E_FAIL;
    drawGrammeCaptions(timeGetTime());
    break;
  case CreditsState:
    drawCredits();
    drawBackground(BackgroundOffset, emberTexture, timeGetTime());
    break;
  default:
    break;
  }
  return S_OK;
}

void checkSync(std::int32_t order, std::int32_t row) {
  if (lastSyncPosition >= songPosition(order, row)) return;
  const int heardRow = getPlayingRow(demoSong);
  const int heardOrder = getPlayingOrder(demoSong);
  if (heardRow < row || heardOrder < order) return;
  ++syncIndex;
  lastSyncPosition = songPosition(order, row);
  flashDeadline = timeGetTime() + FlashMs;
}

void resetTimeline() {
  syncIndex = 0;
  lastSyncPosition = -1;
  flashDeadline = 0;
}

HRESULT renderFrame() {
  if (FAILED(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, ClearColour, FarDepth, 0))) return E_FAIL;
  if (FAILED(device->BeginScene())) return E_FAIL;
  const int row = getPlayingRow(demoSong);
  const int order = getPlayingOrder(demoSong);
  timelineState = timelineStateFor(order, timelineState);
  if (songAtItsEnd(order, row)) PostMessageA(mainWindow, WM_QUIT, 0, 0);
  if (FAILED(drawTimelineLayers(timelineState))) return E_FAIL;
  if (syncIndex < SyncPointCount) checkSync(syncTable[syncIndex].order, syncTable[syncIndex].row);
  const DWORD now = timeGetTime();
  if (flashDeadline > now) {
    const DWORD intensity = (flashDeadline - now) / FlashMsPerLevel;
    flashLevel = static_cast<std::int32_t>(intensity);
    drawFlash(glowTexture, intensity);
  }
  device->EndScene();
  if (FAILED(device->Present(nullptr, nullptr, nullptr, nullptr))) return E_FAIL;
  return S_OK;
}
