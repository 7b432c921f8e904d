#pragma once
// The files the show carries inside its executable. They are held packed (embeddedPack,
// made from the binaries in data/ by tools/packdata; see data/CMakeLists.txt) and
// unpacked into these arrays before main, so that from main on each array holds exactly
// its file. Sizes are in bytes.

extern unsigned char songModule[];      // the XM module (song.xm)
extern const int songModuleSize;
extern unsigned char stoneImage[];      // 64 x 64 stone, 256 colours (stone.pcx)
extern const int stoneImageSize;
extern unsigned char spotImage[];       // 16 x 16 soft spot, 256 colours (spot.pcx)
extern const int spotImageSize;
extern unsigned char sansGlyphStrip[];  // sans-serif glyph strip (sans.pcx)
extern const int sansGlyphStripSize;
extern unsigned char serifGlyphStrip[]; // serif capitals glyph strip (serif.pcx)
extern const int serifGlyphStripSize;

extern const unsigned char embeddedPack[]; // the five files, packed (data/unpack.h)
extern const int embeddedPackSize;

// True when the arrays hold their files; false only when the unpacker could not
// allocate its tables, leaving them zero.
bool embeddedDataUnpacked();
