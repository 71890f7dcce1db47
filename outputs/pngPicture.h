#pragma once

#include <functional>

#include <QByteArray>
#include <QRgb>

// Fills row `y` of a picture, its width in 0xffRRGGBB pixels. Called for
// different rows from several threads at once.
using pictureRowSource = std::function<void(int y, QRgb* pixels)>;

// A PNG of 8-bit RGB made from the rows as they are compressed, so that a
// large picture is never held whole. The rows are compressed in bands of
// a fixed height on all threads; the file is the same whatever their
// number. Empty where a size is not positive or memory ran out.
QByteArray pngPictureBytes(int width, int height, const pictureRowSource& rowOf);
