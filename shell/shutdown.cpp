// Stopping the music and releasing the Direct3D objects, once.
#include "direction/globals.h"
#include "player/player.h"
#include "shell/globals.h"
#include "shell/shell.h"

namespace {
bool shutdownDone = false;

template <typename Object> void releaseIfMade(Object* object) {
  if (object) object->Release();
}
} // namespace

void shutdownDemo() {
  if (shutdownDone) return;
  shutdownDone = true;
  freeSong(demoSong); // waits for the playback thread to leave its block render
  closeOutput();
  releaseIfMade(stoneTexture);
  releaseIfMade(spotTexture);
  releaseIfMade(sharedVertexBuffer);
  releaseIfMade(device);
  releaseIfMade(direct3D);
}

bool demoShutDown() { return shutdownDone; }

void resetShell() {
  resetShellGlobals();
  shutdownDone = false;
}
