#include "Platform/ImageCodec.h"

#include <QBuffer>
#include <QImageReader>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <openjpeg.h>

#include <cstring>

namespace {

using Format = ImageCodec::Format;

// A smooth opaque picture: colour ramps in both directions.
QImage gradient(int w, int h)
{
    QImage img(w, h, QImage::Format_RGBA8888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixelColor(x, y, QColor(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1), 128));
    return img;
}

// A picture with transparent, half-transparent and opaque parts.
QImage withAlpha(int w, int h)
{
    QImage img = gradient(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            QColor c = img.pixelColor(x, y);
            c.setAlpha(x < w / 3 ? 0 : (x < 2 * w / 3 ? 160 : 255));
            img.setPixelColor(x, y, c);
        }
    return img;
}

QImage decodeWithQt(QByteArray data, const char* expectedFormat)
{
    QBuffer buffer(&data);
    QImageReader reader(&buffer);
    EXPECT_EQ(reader.format(), QByteArray(expectedFormat));
    return reader.read();
}

int maxChannelDiff(const QImage& a, const QImage& b, bool compareAlpha)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int worst = 0;
    for (int j = 0; j < x.height(); ++j)
        for (int i = 0; i < x.width(); ++i) {
            const QRgb p = x.pixel(i, j), q = y.pixel(i, j);
            worst = std::max(
                { worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q)) });
            if (compareAlpha)
                worst = std::max(worst, std::abs(qAlpha(p) - qAlpha(q)));
        }
    return worst;
}

double meanChannelDiff(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int j = 0; j < x.height(); ++j)
        for (int i = 0; i < x.width(); ++i) {
            const QRgb p = x.pixel(i, j), q = y.pixel(i, j);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

// ---- JPEG 2000 decoding for the checks, straight through libopenjp2 ----

struct ReadStream {
    const QByteArray* data;
    qint64 pos = 0;
};

OPJ_SIZE_T readFn(void* buffer, OPJ_SIZE_T bytes, void* user)
{
    auto* s = static_cast<ReadStream*>(user);
    const qint64 left = s->data->size() - s->pos;
    if (left <= 0)
        return static_cast<OPJ_SIZE_T>(-1);
    const qint64 n = std::min<qint64>(left, static_cast<qint64>(bytes));
    std::memcpy(buffer, s->data->constData() + s->pos, static_cast<size_t>(n));
    s->pos += n;
    return static_cast<OPJ_SIZE_T>(n);
}

OPJ_OFF_T skipFn(OPJ_OFF_T bytes, void* user)
{
    auto* s = static_cast<ReadStream*>(user);
    s->pos += bytes;
    return bytes;
}

OPJ_BOOL seekFn(OPJ_OFF_T offset, void* user)
{
    auto* s = static_cast<ReadStream*>(user);
    if (offset > s->data->size())
        return OPJ_FALSE;
    s->pos = offset;
    return OPJ_TRUE;
}

// The decoded picture and its component count; a null image on failure.
std::pair<QImage, int> decodeJp2(const QByteArray& data)
{
    opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
    opj_dparameters_t params;
    opj_set_default_decoder_parameters(&params);
    opj_setup_decoder(codec, &params);
    ReadStream rs { &data };
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    opj_stream_set_user_data(stream, &rs, nullptr);
    opj_stream_set_user_data_length(stream, static_cast<OPJ_UINT64>(data.size()));
    opj_stream_set_read_function(stream, readFn);
    opj_stream_set_skip_function(stream, skipFn);
    opj_stream_set_seek_function(stream, seekFn);
    opj_image_t* image = nullptr;
    std::pair<QImage, int> result { QImage(), 0 };
    if (opj_read_header(stream, codec, &image) && opj_decode(codec, stream, image)
        && opj_end_decompress(codec, stream)) {
        const int n = static_cast<int>(image->numcomps);
        const int w = static_cast<int>(image->comps[0].w);
        const int h = static_cast<int>(image->comps[0].h);
        QImage out(w, h, QImage::Format_RGBA8888);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                auto comp = [&](int c) { return image->comps[c].data[y * w + x]; };
                out.setPixelColor(x, y, QColor(comp(0), comp(1), comp(2), n == 4 ? comp(3) : 255));
            }
        result = { out, n };
        if (n == 4) {
            EXPECT_EQ(image->comps[3].alpha, 1) << "the fourth component is marked as alpha";
        }
    }
    if (image)
        opj_image_destroy(image);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    return result;
}

} // namespace

TEST(ImageCodec, LosslessFormatsRoundTrip)
{
    const QImage img = gradient(37, 23);
    for (const auto& [format, name] :
        { std::pair { Format::PNG, "png" }, { Format::TIFF, "tiff" }, { Format::BMP, "bmp" } }) {
        const QByteArray data = ImageCodec::encode(img, format);
        ASSERT_FALSE(data.isEmpty()) << name;
        const QImage back = decodeWithQt(data, name);
        ASSERT_EQ(back.size(), img.size()) << name;
        EXPECT_EQ(maxChannelDiff(img, back, false), 0) << name;
    }
}

TEST(ImageCodec, AlphaSurvivesPngAndTiff)
{
    const QImage img = withAlpha(30, 10);
    for (const auto& [format, name] : { std::pair { Format::PNG, "png" }, { Format::TIFF, "tiff" } }) {
        const QImage back = decodeWithQt(ImageCodec::encode(img, format), name);
        ASSERT_EQ(back.size(), img.size()) << name;
        EXPECT_EQ(qAlpha(back.pixel(0, 5)), 0) << name;
        EXPECT_EQ(qAlpha(back.pixel(15, 5)), 160) << name;
        EXPECT_EQ(qAlpha(back.pixel(29, 5)), 255) << name;
        EXPECT_EQ(back.pixelColor(29, 5).rgb(), img.pixelColor(29, 5).rgb()) << name;
    }
}

TEST(ImageCodec, JpegIsCloseToTheSource)
{
    const QImage img = gradient(64, 48);
    const QByteArray data = ImageCodec::encode(img, Format::JPEG);
    ASSERT_TRUE(data.startsWith("\xff\xd8\xff"));
    const QImage back = decodeWithQt(data, "jpeg");
    ASSERT_EQ(back.size(), img.size());
    EXPECT_LT(meanChannelDiff(img, back), 4.0);
}

TEST(ImageCodec, GifKeepsExactColoursWhenTheyFit)
{
    // 200 colours in noise over a large area: the code table fills and is
    // cleared many times, and codes grow through every width.
    QRandomGenerator rng(99);
    QRgb colours[200];
    for (QRgb& c : colours)
        c = qRgb(rng.bounded(256), rng.bounded(256), rng.bounded(256));
    QImage img(301, 257, QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, colours[(x / 3 + y * 7 + rng.bounded(3)) % 200]);
    const QByteArray data = ImageCodec::encode(img, Format::GIF);
    ASSERT_TRUE(data.startsWith("GIF89a"));
    ASSERT_TRUE(data.endsWith(";"));
    const QImage back = decodeWithQt(data, "gif");
    ASSERT_EQ(back.size(), img.size());
    EXPECT_EQ(maxChannelDiff(img, back, true), 0);
}

TEST(ImageCodec, GifTransparencyAndTinyPictures)
{
    QImage img(5, 3, QImage::Format_ARGB32);
    img.fill(qRgba(10, 20, 30, 255));
    img.setPixel(0, 0, qRgba(0, 0, 0, 0));
    img.setPixel(1, 0, qRgba(200, 0, 0, 100)); // under half opacity: transparent
    img.setPixel(2, 0, qRgba(0, 200, 0, 200)); // over half: opaque
    const QImage back
        = decodeWithQt(ImageCodec::encode(img, Format::GIF), "gif").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(back.size(), img.size());
    EXPECT_EQ(qAlpha(back.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(back.pixel(1, 0)), 0);
    EXPECT_EQ(back.pixel(2, 0), qRgb(0, 200, 0));
    EXPECT_EQ(back.pixel(4, 2), qRgb(10, 20, 30));

    for (QSize size : { QSize(1, 1), QSize(1, 7), QSize(513, 1) }) {
        QImage one(size, QImage::Format_ARGB32);
        one.fill(qRgb(1, 2, 3));
        const QImage b = decodeWithQt(ImageCodec::encode(one, Format::GIF), "gif");
        ASSERT_EQ(b.size(), size);
        EXPECT_EQ(b.pixel(size.width() - 1, size.height() - 1), qRgb(1, 2, 3));
    }
    EXPECT_TRUE(ImageCodec::encode(QImage(), Format::GIF).isEmpty());
    EXPECT_TRUE(ImageCodec::encodeGIF(QImage(70000, 1, QImage::Format_ARGB32)).isEmpty());
}

TEST(ImageCodec, GifMapsManyColoursToTheNearestPaletteEntry)
{
    QRandomGenerator rng(7);
    QImage img(128, 96, QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb(rng.bounded(256), rng.bounded(256), rng.bounded(256)));
    const QImage back
        = decodeWithQt(ImageCodec::encode(img, Format::GIF), "gif").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(back.size(), img.size());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y), q = back.pixel(x, y);
            const int dr = qRed(p) - qRed(q), dg = qGreen(p) - qGreen(q), db = qBlue(p) - qBlue(q);
            // Never farther than the colour cube's own nearest corner.
            ASSERT_LE(dr * dr + dg * dg + db * db, 3 * 26 * 26) << x << "," << y;
            ASSERT_EQ(qAlpha(q), 255);
        }
}

TEST(ImageCodec, Jpeg2000IsARealLosslessJp2)
{
    for (QSize size : { QSize(64, 40), QSize(1, 1), QSize(3, 70), QSize(257, 129) }) {
        const QImage img = gradient(size.width(), size.height());
        const QByteArray data = ImageCodec::encode(img, Format::JPEG2000);
        ASSERT_TRUE(data.startsWith(QByteArray("\x00\x00\x00\x0cjP  \r\n\x87\n", 12))) << size.width();
        EXPECT_EQ(data.mid(20, 4), "jp2 ") << "file type box names the JP2 brand";
        EXPECT_TRUE(data.contains("jp2h"));
        EXPECT_TRUE(data.contains("jp2c"));
        const auto [back, comps] = decodeJp2(data);
        ASSERT_EQ(back.size(), img.size()) << size.width() << "x" << size.height();
        EXPECT_EQ(comps, 3) << "an opaque picture has no alpha component";
        EXPECT_EQ(maxChannelDiff(img, back, true), 0);
    }
    const QImage alpha = withAlpha(24, 16);
    const auto [back, comps] = decodeJp2(ImageCodec::encode(alpha, Format::JPEG2000));
    ASSERT_EQ(back.size(), alpha.size());
    EXPECT_EQ(comps, 4);
    EXPECT_EQ(maxChannelDiff(alpha, back, true), 0);

    EXPECT_TRUE(ImageCodec::encode(QImage(), Format::JPEG2000).isEmpty());
}
