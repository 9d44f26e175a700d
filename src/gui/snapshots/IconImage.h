#pragma once

#include <QImage>

#include <string>

// Icons of systems, read from an icon file (the size asked for when the file holds several) or
// any picture file, and drawn at one square size.
class IconImage
{
public:
    // The icon of the file at path (its name's own bytes) as a size x size picture with
    // devicePixelRatio device pixels per pixel, so that a dense screen shows the file's own
    // detail rather than a small picture stretched; a null image when the file cannot be read.
    static QImage read(const std::string &path, int size, qreal devicePixelRatio = 1);
};
