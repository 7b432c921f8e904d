// memoryOpen lives apart from the other file operations so that only programs which open
// the embedded module need it linked in.
#include "data/embedded.h"
#include "direction/memoryfile.h"

void* memoryOpen(const void*) { return openMemoryFile(songModule, songModuleSize); }
