#pragma once
// The files the show carries inside its executable, as byte arrays made at build time
// from the binaries in data/ (see data/CMakeLists.txt). Sizes are in bytes.

extern const unsigned char songModule[];      // the XM module (song.xm)
extern const int songModuleSize;
extern const unsigned char stoneImage[];      // 64 x 64 stone, 256 colours (stone.pcx)
extern const int stoneImageSize;
extern const unsigned char spotImage[];       // 16 x 16 soft spot, 256 colours (spot.pcx)
extern const int spotImageSize;
extern const unsigned char sansGlyphStrip[];  // sans-serif glyph strip (sans.pcx)
extern const int sansGlyphStripSize;
extern const unsigned char serifGlyphStrip[]; // serif capitals glyph strip (serif.pcx)
extern const int serifGlyphStripSize;
