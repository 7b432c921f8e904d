#pragma once
// Effect-column and volume-column codes as the XM format numbers them.
#include <cstdint>

// Effect column (NoteCell::effect).
constexpr std::uint8_t EffectArpeggio = 0x00;
constexpr std::uint8_t EffectPortaUp = 0x01;
constexpr std::uint8_t EffectPortaDown = 0x02;
constexpr std::uint8_t EffectTonePorta = 0x03;
constexpr std::uint8_t EffectVibrato = 0x04;
constexpr std::uint8_t EffectTonePortaVolumeSlide = 0x05;
constexpr std::uint8_t EffectVibratoVolumeSlide = 0x06;
constexpr std::uint8_t EffectTremolo = 0x07;
constexpr std::uint8_t EffectSetPanning = 0x08;
constexpr std::uint8_t EffectSampleOffset = 0x09;
constexpr std::uint8_t EffectVolumeSlide = 0x0A;
constexpr std::uint8_t EffectPositionJump = 0x0B;
constexpr std::uint8_t EffectSetVolume = 0x0C;
constexpr std::uint8_t EffectPatternBreak = 0x0D;
constexpr std::uint8_t EffectExtended = 0x0E;
constexpr std::uint8_t EffectSpeed = 0x0F;
constexpr std::uint8_t EffectGlobalVolume = 16;       // G
constexpr std::uint8_t EffectGlobalVolumeSlide = 17;  // H
constexpr std::uint8_t EffectKeyOff = 20;             // K
constexpr std::uint8_t EffectEnvelopePosition = 21;   // L
constexpr std::uint8_t EffectPanningSlide = 25;       // P
constexpr std::uint8_t EffectMultiRetrig = 27;        // R
constexpr std::uint8_t EffectTremor = 29;             // T
constexpr std::uint8_t EffectExtraFinePorta = 33;     // X
// Types from here on do nothing on the ticks after the first.
constexpr std::uint8_t EffectFirstInert = 30;

// Exy sub-commands (x).
constexpr std::uint8_t ExtendedFinePortaUp = 0x1;
constexpr std::uint8_t ExtendedFinePortaDown = 0x2;
constexpr std::uint8_t ExtendedVibratoWaveform = 0x4;
constexpr std::uint8_t ExtendedFinetune = 0x5;
constexpr std::uint8_t ExtendedPatternLoop = 0x6;
constexpr std::uint8_t ExtendedTremoloWaveform = 0x7;
constexpr std::uint8_t ExtendedCoarsePanning = 0x8;
constexpr std::uint8_t ExtendedRetrigger = 0x9;
constexpr std::uint8_t ExtendedFineVolumeUp = 0xA;
constexpr std::uint8_t ExtendedFineVolumeDown = 0xB;
constexpr std::uint8_t ExtendedNoteCut = 0xC;
constexpr std::uint8_t ExtendedNoteDelay = 0xD;
constexpr std::uint8_t ExtendedPatternDelay = 0xE;

// Xxy sub-commands (x).
constexpr std::uint8_t ExtraFinePortaUp = 0x1;
constexpr std::uint8_t ExtraFinePortaDown = 0x2;

// Volume column: 0x10..0x50 set the volume; otherwise the high nibble picks the command.
constexpr std::uint8_t VolumeColumnSetFirst = 0x10;
constexpr std::uint8_t VolumeColumnSetLast = 0x50;
constexpr std::uint8_t VolumeColumnSlideDown = 0x6;
constexpr std::uint8_t VolumeColumnSlideUp = 0x7;
constexpr std::uint8_t VolumeColumnFineDown = 0x8;
constexpr std::uint8_t VolumeColumnFineUp = 0x9;
constexpr std::uint8_t VolumeColumnVibratoSpeed = 0xA;
constexpr std::uint8_t VolumeColumnVibratoDepth = 0xB;
constexpr std::uint8_t VolumeColumnPanning = 0xC;
constexpr std::uint8_t VolumeColumnPanSlideLeft = 0xD;
constexpr std::uint8_t VolumeColumnPanSlideRight = 0xE;
constexpr std::uint8_t VolumeColumnTonePorta = 0xF;
// Bytes from here on are tone-portamento cells.
constexpr std::uint8_t VolumeColumnTonePortaFirst = 0xF0;

// Speed command: parameters below this set ticks per row, the others the BPM.
constexpr std::uint8_t SpeedBpmFirst = 32;
// Pattern break rows above this go to row 0.
constexpr std::int32_t BreakRowMax = 63;
constexpr std::int32_t BreakRowTens = 10;
// 9xx offsets are in units of 256 samples.
constexpr std::uint32_t SampleOffsetUnit = 256;
// Fine and coarse period slides move 4 units per parameter step.
constexpr std::int32_t PortaPeriodStep = 4;
constexpr std::int32_t CoarsePanningStep = 16;
constexpr std::int32_t VolumeColumnPortaSpeedStep = 16;
