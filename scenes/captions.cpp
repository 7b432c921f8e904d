// The caption overlays. Every layer is a pure function of the clock: swarms of small
// copies of a phrase circling on sine paths, sentences scrolling right to left in rows,
// and the name's four letters jittering in large, mixed fonts. All text adds onto the
// picture; nothing is tested against the screen. Positions are in 640 x 480 terms
// (drawText halves them on the 320-wide fallback).
#include "scenes/captions.h"

#include <cstdint>

#include "content/maths.h"
#include "content/text.h"
#include "scenes/sceneinputs.h"
#include "shell/globals.h"

namespace {

const char FlyingPhrase[] = "i do like flying.";
const char DamnPhrase[] = "damn you!"; // the serif fonts have no "!": drawn without it
const char CultureSentence[] =
    "back to culture. yes. actually culture. you cant consume much if you sit still and read books.";
const char GrammeSentence[] = "and do remember that a gramme is better than a damn...";
const char AuthorsName[] = "the quorvatics";
const char SpeedSentence[] = "twelve hundred and fifity kilometers an hour! what do you think about that...";

// Copy i of a swarm sits at ((cos(i / xDivisor + T) + 1) x 280, (sin(i / yDivisor + T) + 1) x 220).
struct Swarm {
  const char* text;
  const BitmapFont* font;
  int copies;
  double xDivisor, yDivisor;
};

constexpr double SwarmMsPerRadian = 1200.0; // T = t / 1200
constexpr float SwarmScale = 0.5f;
constexpr double SwarmHalfWidth = 280.0;  // x from 0 to 560
constexpr double SwarmHalfHeight = 220.0; // y from 0 to 440

const Swarm CultureSwarms[] = {{FlyingPhrase, &sansFontLight, 14, 3.5, 2.0}, {DamnPhrase, &sansFontLight, 12, 2.7, 2.5}};
const Swarm GrammeSwarms[] = {{FlyingPhrase, &sansFontDim, 15, 2.5, 1.0}, {DamnPhrase, &serifFontDim, 9, 2.7, 3.0}};

// A sentence in rows, row k at (x + stepX k, firstY + stepY k), where x falls from `start`
// by one pixel every msPerPixel and jumps back after `period` pixels.
struct ScrollingRows {
  const char* text;
  const BitmapFont* font;
  float scaleX, scaleY;
  int rows;
  std::int32_t start;
  DWORD msPerPixel, period;
  std::int32_t stepX, firstY, stepY;
};

const ScrollingRows CultureRows = {CultureSentence, &sansFontDim, 2.0f, 1.5f, 2, 1600, 2, 5000, 50, 170, 190};
const ScrollingRows SpeedRows = {SpeedSentence, &sansFontDim, 2.0f, 1.2f, 3, 1600, 2, 5000, 200, 50, 160};

// The gramme sentence's start and period follow the screen width: x = 3W - ((t / 2) mod 8W) - 400.
constexpr DWORD GrammeStartWidths = 3, GrammePeriodWidths = 8;
constexpr std::int32_t GrammeStartShift = 400;
const ScrollingRows GrammeRowsLayout = {GrammeSentence, &sansFontLight, 3.0f, 2.5f, 3, 0, 2, 0, 50, 170, 190};

// The scattered phrase of the culture captions: "i do like flying..." with its words
// repeated below it, in two groups; group k is 50k right and 180k down (the last words
// 188k), moving left one pixel every 3 ms and jumping back every 12 s.
struct PhrasePiece {
  const char* text;
  const BitmapFont* font;
  std::int32_t dx, dy; // from the group's anchor
  std::int32_t groupDy;
};
const PhrasePiece FlyingPieces[] = {{"i do like flying...", &sansFontDim, 0, -80, 180},
                                    {"i", &sansFontDim, 50, 0, 180},
                                    {"do", &serifFontDim, 65, 0, 180},
                                    {"like flying...", &sansFontDim, 130, 0, 188}};
constexpr int FlyingGroups = 2;
constexpr std::int32_t FlyingStart = 1200, FlyingAnchorY = 80, FlyingGroupDx = 50;
constexpr DWORD FlyingMsPerPixel = 3, FlyingPeriod = 4000;

// The name, lower case, last letter first: entry 3 is "n", entry 0 is "a".
const std::uint32_t NameLetters[] = {'a', 'r', 'y', 'n'};
constexpr int LetterN = 3, LetterY = 2, LetterR = 1, LetterA = 0;

struct LetterPlace {
  int letter; // entry of NameLetters
  const BitmapFont* font;
  float scaleX, scaleY;
  std::int32_t x;
};
using NameLayout = LetterPlace[4];

const NameLayout CultureName = {{LetterN, &serifFontDim, 3.0f, 3.0f, 130},
                                {LetterY, &sansFontDim, 3.5f, 3.0f, 210},
                                {LetterR, &serifFontLight, 3.0f, 3.5f, 280},
                                {LetterA, &sansFontLight, 3.5f, 3.0f, 400}};
const NameLayout GrammeName = {{LetterN, &serifFontDim, 3.0f, 3.0f, 130},
                               {LetterY, &sansFontDim, 3.5f, 3.0f, 210},
                               {LetterR, &serifFontLight, 3.0f, 3.0f, 280},
                               {LetterA, &sansFontLight, 3.5f, 3.0f, 400}};

// The letters' row jumps between three heights 10 pixels apart with the sign of a sine
// of t / msPerRadian: (round(sin) + middleRow) x 10.
constexpr double CultureNameMsPerRadian = 30.0, GrammeNameMsPerRadian = 5.0;
constexpr std::int32_t CultureNameRow = 29, GrammeNameRow = 25, NameRowPixels = 10;
constexpr std::int32_t AuthorsNameX = 130, AuthorsNameBelow = 90;
constexpr float AuthorsNameScale = 0.8f;

// The speed swarm: copy i at (cos(sin(i + T) + i / 4.5 + T) x 360 + drift, sin(i / 2 + T) x 300 + 220),
// drifting left one pixel every 2 ms from 700 and jumping back every 2.4 s.
constexpr int SpeedCopies = 30;
constexpr double SpeedTurnDivisor = 4.5, SpeedYDivisor = 2.0;
constexpr double SpeedHalfWidth = 360.0, SpeedHalfHeight = 300.0, SpeedCentreY = 220.0;
constexpr std::int32_t SpeedDriftStart = 700;
constexpr DWORD SpeedDriftMsPerPixel = 2, SpeedDriftPeriod = 1200;

std::int32_t nearest(double value) { return static_cast<std::int32_t>(roundToInt(value)); }

// The swarms' common phase, held in single precision.
float swarmPhase(DWORD t) { return static_cast<float>(static_cast<double>(t) / SwarmMsPerRadian); }

// (t / msPerPixel) mod period, in unsigned integers.
std::int32_t scrolled(DWORD t, DWORD msPerPixel, DWORD period) { return static_cast<std::int32_t>((t / msPerPixel) % period); }

void drawSwarm(const Swarm& swarm, float T) {
  for (int i = 0; i < swarm.copies; ++i) {
    const std::int32_t x = nearest((cosD(i / swarm.xDivisor + T) + 1.0) * SwarmHalfWidth);
    const std::int32_t y = nearest((sinD(i / swarm.yDivisor + T) + 1.0) * SwarmHalfHeight);
    drawText(x, y, SwarmScale, SwarmScale, swarm.text, *swarm.font);
  }
}

void drawRows(const ScrollingRows& rows, std::int32_t x) {
  for (std::int32_t k = 0; k < rows.rows; ++k)
    drawText(x + rows.stepX * k, rows.firstY + rows.stepY * k, rows.scaleX, rows.scaleY, rows.text, *rows.font);
}

void drawScrolling(const ScrollingRows& rows, DWORD t) { drawRows(rows, rows.start - scrolled(t, rows.msPerPixel, rows.period)); }

void drawFlyingPhrase(DWORD t) {
  const std::int32_t x = FlyingStart - scrolled(t, FlyingMsPerPixel, FlyingPeriod);
  for (std::int32_t k = 0; k < FlyingGroups; ++k)
    for (const PhrasePiece& piece : FlyingPieces)
      drawText(x + FlyingGroupDx * k + piece.dx, FlyingAnchorY + piece.groupDy * k + piece.dy, 1.0f, 1.0f, piece.text,
               *piece.font);
}

std::int32_t nameRow(DWORD t, double msPerRadian, std::int32_t middleRow) {
  return (nearest(sinD(static_cast<double>(t) / msPerRadian)) + middleRow) * NameRowPixels;
}

// Each letter as a one-character string.
void drawName(const NameLayout& places, std::int32_t y) {
  for (const LetterPlace& p : places) {
    const char letter[] = {static_cast<char>(NameLetters[p.letter]), '\0'};
    drawText(p.x, y, p.scaleX, p.scaleY, letter, *p.font);
  }
}

} // namespace

void drawCultureCaptions(DWORD t) {
  const float T = swarmPhase(t);
  for (const Swarm& swarm : CultureSwarms) drawSwarm(swarm, T);
  drawFlyingPhrase(t);
  drawScrolling(CultureRows, t);
  drawName(CultureName, nameRow(t, CultureNameMsPerRadian, CultureNameRow));
}

void drawGrammeCaptions(DWORD t) {
  const float T = swarmPhase(t);
  for (const Swarm& swarm : GrammeSwarms) drawSwarm(swarm, T);
  // The only caption position that follows the screen width.
  const auto width = static_cast<DWORD>(screenWidth);
  const auto x = static_cast<std::int32_t>(GrammeStartWidths * width - (t / GrammeRowsLayout.msPerPixel) % (GrammePeriodWidths * width)) -
                 GrammeStartShift;
  drawRows(GrammeRowsLayout, x);
  const std::int32_t y = nameRow(t, GrammeNameMsPerRadian, GrammeNameRow);
  drawName(GrammeName, y);
  drawText(AuthorsNameX, y + AuthorsNameBelow, AuthorsNameScale, AuthorsNameScale, AuthorsName, serifFontDim);
}

void drawSpeedCaptions(DWORD t) {
  const float T = swarmPhase(t);
  const std::int32_t drift = SpeedDriftStart - scrolled(t, SpeedDriftMsPerPixel, SpeedDriftPeriod);
  for (int i = 0; i < SpeedCopies; ++i) {
    const std::int32_t x = nearest(cosD(sinD(i + T) + i / SpeedTurnDivisor + T) * SpeedHalfWidth + drift);
    const std::int32_t y = nearest(sinD(i / SpeedYDivisor + T) * SpeedHalfHeight + SpeedCentreY);
    drawText(x, y, SwarmScale, SwarmScale, FlyingPhrase, sansFontLight);
  }
  drawScrolling(SpeedRows, t);
}
