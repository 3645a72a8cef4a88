// Procedural pictures for the project's assets. Every function is deterministic, so remaking
// the assets gives the same pictures.
#pragma once

#include <QImage>

namespace assetgen {

// A picture frame of mitred wooden boards around a cream passe-partout.
QImage PaintWoodFrame(int width, int height, int boardWidth);
// A lake landscape in the evening: sky, sun, hills, reflections, a reedy shore.
QImage PaintLandscape(int width, int height);

// Tool-bar glyphs, 24 x 24 on white.
QImage PaintOpenGlyph();
QImage PaintSaveGlyph();
QImage PaintTurnGlyph();
// The web-page button's globe, 16 x 16 on white; `enabled` false gives the grey version.
QImage PaintGlobe(bool enabled);
// The program icon at size x size, transparent around the frame.
QImage PaintIcon(int size);
// The information dialog's picture: the landscape in the wooden frame.
QImage PaintAboutPicture(int width, int height);

}  // namespace assetgen
