#pragma once
// What a run of the show leaves for the process end (the textures the shutdown does not
// release, the fonts' atlases, the mesh): released here so that a test can run the show
// again, or end, without leaking it.
void releaseShowLeftovers();
