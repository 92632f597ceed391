#pragma once

#include <QByteArray>
#include <QImage>

// Encodes a picture into one of the file formats the application writes.
// TIFF, BMP, JPEG and PNG go through Qt's image writers; GIF (Qt has no GIF
// writer) and JPEG 2000 (through libopenjp2) are written here. Each format is
// written with its encoder's default settings; JPEG 2000 is lossless.
// Safe to call from any thread. An empty result means failure.
class ImageCodec {
public:
    enum class Format { TIFF, BMP, GIF, JPEG, JPEG2000, PNG };

    static QByteArray encode(const QImage& image, Format format);

    // GIF89a with a single frame. Pictures with at most 256 distinct colours
    // (transparency counting as one) keep their exact colours; others are
    // mapped to the nearest colour of a fixed palette (a 6x6x6 colour cube and
    // a grey ramp). Pixels with less than half opacity become transparent.
    // Empty for pictures larger than 65535 pixels in either direction.
    static QByteArray encodeGIF(const QImage& image);

    // A JP2 file (signature box, header with its colour box, and a
    // lossless code stream). Three components for opaque pictures, four
    // (the fourth marked as alpha) otherwise.
    static QByteArray encodeJPEG2000(const QImage& image);
};
