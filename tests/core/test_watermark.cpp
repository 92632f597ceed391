#include "Media/LSMedia.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QImage>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

// A video item of the given stored size and display aspect ratio.
std::shared_ptr<LSMedia> videoItem(int width, int height, ZKAVRational dar)
{
    auto media = std::make_shared<LSMedia>();
    media->mediaType = 0;
    media->pixWidth = width;
    media->pixHeight = height;
    media->display_aspect_ratio = dar;
    return media;
}

QImage solidImage(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QFont pixelFont(int size)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(size);
    return font;
}

// Bounding box of every pixel whose alpha is at least minAlpha.
QRect visibleBounds(const QImage& image, int minAlpha = 1)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) >= minAlpha)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

int maxAlpha(const QImage& image)
{
    int best = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            best = std::max(best, qAlpha(image.pixel(x, y)));
    return best;
}

bool nearColour(QRgb pixel, int r, int g, int b, int a, int tolerance = 2)
{
    return std::abs(qRed(pixel) - r) <= tolerance && std::abs(qGreen(pixel) - g) <= tolerance
        && std::abs(qBlue(pixel) - b) <= tolerance && std::abs(qAlpha(pixel) - a) <= tolerance;
}

// Overlays come premultiplied (the format they are drawn fastest in); the
// checks read plain colour values.
QImage straight(const QImage& image)
{
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32);
}

QImage textOverlay(QSizeF canvas, const QString& text, QColor colour, QColor background, int fontSize,
                   double opacity, int64_t position, QSizeF dest = {0, 0})
{
    return straight(GlobalFun::getOverlayImgWithSize(canvas, WaterMarkTypeText, text, colour, background,
                                                     pixelFont(fontSize), QImage(), opacity, position, dest));
}

QImage pictureOverlay(QSizeF canvas, const QImage& picture, double opacity, int64_t position)
{
    return straight(GlobalFun::getOverlayImgWithSize(canvas, WaterMarkTypeImage, QString(), Qt::white, QColor(),
                                                     pixelFont(60), picture, opacity, position, canvas));
}

}  // namespace

TEST(WaterMark, HasWaterMarkFollowsTypeAndContent)
{
    struct Case
    {
        int64_t type;
        QString text;
        bool withImage;
        bool expected;
    };
    const Case cases[] = {
        {WaterMarkTypeText, QStringLiteral("Hi"), false, true},
        {WaterMarkTypeText, QStringLiteral(" "), false, true},
        {WaterMarkTypeText, QString(), true, false},
        {WaterMarkTypeText, QStringLiteral(""), false, false},
        {WaterMarkTypeImage, QStringLiteral("Hi"), false, false},
        {WaterMarkTypeImage, QString(), true, true},
        {2, QStringLiteral("Hi"), true, false},
        {-1, QStringLiteral("Hi"), true, false},
    };
    for (const Case& c : cases) {
        LSMedia media;
        media.waterMarkType = static_cast<waterMarkType>(c.type);
        media.waterMartText = c.text;
        if (c.withImage)
            media.waterMarkImage = solidImage(8, 8, Qt::red);
        EXPECT_EQ(media.hasWaterMark(), c.expected) << "type " << c.type << " text '" << c.text.toStdString()
                                                    << "' image " << c.withImage;
    }
}

TEST(WaterMark, NewItemsCarryTheFactoryWatermarkSettings)
{
    LSMedia media;
    EXPECT_FALSE(media.hasWaterMark());
    EXPECT_EQ(media.wmTextFontSize, 60);
    EXPECT_DOUBLE_EQ(media.wmTransValue, 0.8);
    EXPECT_EQ(media.wmItemPosition, WMPositionTopLeft);
    EXPECT_TRUE(media.resultWaterMarkImg.isNull());
}

TEST(WaterMark, FramePlacementKeepsTenPixelMargins)
{
    // Origins are measured from the bottom-left corner, y upwards.
    struct Case
    {
        int32_t position;
        QRectF expected;
    };
    const QSizeF canvas(1920, 1080);
    const QSizeF overlay(100, 50);
    const Case cases[] = {
        {WMPositionTopLeft, QRectF(10, 1020, 100, 50)},
        {WMPositionTopRight, QRectF(1810, 1020, 100, 50)},
        {WMPositionCenter, QRectF(910, 515, 100, 50)},
        {WMPositionBottomLeft, QRectF(10, 10, 100, 50)},
        {WMPositionBottomRight, QRectF(1810, 10, 100, 50)},
        {7, QRectF(0, 0, 100, 50)},
        {-3, QRectF(0, 0, 100, 50)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GlobalFun::getFrameWithBkgSize(canvas, overlay, c.position), c.expected) << c.position;
}

TEST(WaterMark, FrameFitsIntoTheCanvasLessMarginsAndIsNeverEnlarged)
{
    EXPECT_EQ(GlobalFun::getFrameWithBkgSize({1920, 1080}, {4000, 1000}, WMPositionCenter),
              QRectF(10, 302.5, 1900, 475));
    EXPECT_EQ(GlobalFun::getFrameWithBkgSize({1920, 1080}, {1000, 2120}, WMPositionTopLeft),
              QRectF(10, 10, 500, 1060));
    EXPECT_EQ(GlobalFun::getFrameWithBkgSize({1920, 1080}, {1900, 1060}, WMPositionBottomRight),
              QRectF(10, 10, 1900, 1060));
    EXPECT_EQ(GlobalFun::getFrameWithBkgSize({1920, 1080}, {40, 30}, WMPositionTopRight), QRectF(1870, 1040, 40, 30));
}

TEST(WaterMark, FrameOnACanvasWithoutRoomInsideTheMarginsIsEmpty)
{
    for (const QSizeF canvas : {QSizeF(20, 500), QSizeF(500, 12), QSizeF(0, 0), QSizeF(-50, -50)}) {
        const QRectF frame = GlobalFun::getFrameWithBkgSize(canvas, {100, 50}, WMPositionCenter);
        EXPECT_TRUE(frame.size().isNull()) << canvas.width() << "x" << canvas.height();
    }
    EXPECT_TRUE(GlobalFun::getFrameWithBkgSize({1920, 1080}, {-10, 50}, WMPositionCenter).size().isNull());
}

TEST(WaterMark, FullHdTextAtBottomRightSitsTenPixelsFromTheEdges)
{
    auto media = videoItem(1920, 1080, {16, 9});
    media->waterMartText = QStringLiteral("Trelvio");
    media->wmItemPosition = WMPositionBottomRight;
    media->wmTransValue = 1.0;
    media->buildWatermarkImage();

    const QImage overlay = straight(media->resultWaterMarkImg);
    ASSERT_FALSE(overlay.isNull());
    EXPECT_EQ(overlay.size(), QSize(1920, 1080));
    // The black box covers the text's frame exactly; its right and bottom
    // edges are 10 pixels from the frame's.
    const QRect box = visibleBounds(overlay);
    EXPECT_EQ(box.right(), 1909);
    EXPECT_EQ(box.bottom(), 1069);
    EXPECT_GT(box.height(), 60 * 0.9);
    EXPECT_LT(box.height(), 60 * 1.6);
    EXPECT_GT(box.width(), box.height());
    // White text inside it.
    int white = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            white += nearColour(overlay.pixel(x, y), 255, 255, 255, 255, 8);
    EXPECT_GT(white, 100);
}

TEST(WaterMark, AnamorphicFrameIsDrawnDisplayedAndSqueezedToTheStoredSize)
{
    // A 200x200 square drawn undistorted on the 1024x576 canvas comes out
    // 200 * 720 / 1024 = 140.6 pixels wide in the 720x576 overlay.
    auto media = videoItem(720, 576, {16, 9});
    media->waterMarkType = WaterMarkTypeImage;
    media->waterMarkImage = solidImage(200, 200, Qt::red);
    media->wmTransValue = 1.0;
    media->wmItemPosition = WMPositionBottomLeft;
    media->buildWatermarkImage();

    const QImage overlay = straight(media->resultWaterMarkImg);
    ASSERT_EQ(overlay.size(), QSize(720, 576));
    const QRect solid = visibleBounds(overlay, 250);
    EXPECT_NEAR(solid.left(), 10 * 720.0 / 1024, 1.0);
    EXPECT_NEAR(solid.width(), 200 * 720.0 / 1024, 1.5);
    EXPECT_EQ(solid.height(), 200);
    EXPECT_EQ(solid.bottom(), 576 - 10 - 1);
    EXPECT_TRUE(nearColour(overlay.pixel(70, 470), 255, 0, 0, 255));

    // Text on the same item: the box's right edge, 10 canvas pixels from the
    // canvas edge, lands at 1014 * 720 / 1024 in the stored frame.
    media->waterMarkType = WaterMarkTypeText;
    media->waterMartText = QStringLiteral("Edge");
    media->wmItemPosition = WMPositionTopRight;
    media->buildWatermarkImage();
    ASSERT_EQ(media->resultWaterMarkImg.size(), QSize(720, 576));
    const QRect box = visibleBounds(media->resultWaterMarkImg);
    EXPECT_NEAR(box.right(), 1014 * 720.0 / 1024, 1.0);
    EXPECT_EQ(box.top(), 10);
}

TEST(WaterMark, OverlayIsAPlainBitmapThatSurvivesPngUnchanged)
{
    // The conversion writes the overlay as PNG: the file holds exactly the
    // pixels the preview shows.
    const QImage overlay = textOverlay({640, 360}, QStringLiteral("Same"), QColor(250, 200, 20), QColor(10, 20, 30),
                                       50, 0.37, WMPositionCenter);
    ASSERT_EQ(overlay.size(), QSize(640, 360));
    EXPECT_EQ(overlay.depth(), 32);
    EXPECT_TRUE(overlay.hasAlphaChannel());
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(overlay.save(&buffer, "PNG"));
    const QImage decoded = QImage::fromData(png, "PNG");
    ASSERT_EQ(decoded.size(), overlay.size());
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32), overlay.convertToFormat(QImage::Format_ARGB32));
}

TEST(WaterMark, CanvasIsTheStoredFrameWithoutAUsableAspectRatio)
{
    // No ratio (num 0), and a ratio with a zero or negative term, all leave
    // the stored width: the square stays square.
    for (const ZKAVRational dar : {ZKAVRational{0, 0}, ZKAVRational{16, 0}, ZKAVRational{-16, 9}}) {
        auto media = videoItem(720, 576, dar);
        media->waterMarkType = WaterMarkTypeImage;
        media->waterMarkImage = solidImage(100, 100, Qt::green);
        media->wmTransValue = 1.0;
        media->buildWatermarkImage();
        ASSERT_EQ(media->resultWaterMarkImg.size(), QSize(720, 576)) << dar.num << "/" << dar.den;
        EXPECT_EQ(visibleBounds(media->resultWaterMarkImg, 250), QRect(10, 10, 100, 100)) << dar.num << "/" << dar.den;
    }
}

TEST(WaterMark, TextOpacityReplacesTheColoursOwnAlpha)
{
    const QColor translucentRed = QColor::fromRgbF(1, 0, 0, 0.3f);
    const QImage overlay = textOverlay({640, 360}, QStringLiteral("MMMM"), translucentRed, QColor(), 80, 0.5,
                                       WMPositionTopLeft);
    ASSERT_EQ(overlay.size(), QSize(640, 360));
    EXPECT_NEAR(maxAlpha(overlay), 128, 1) << "fully covered pixels carry the opacity, not the colour's alpha";
    // Every visible pixel is red, and there is no box: the frame's corner
    // stays clear.
    const QRect text = visibleBounds(overlay);
    ASSERT_FALSE(text.isEmpty());
    for (int y = text.top(); y <= text.bottom(); ++y)
        for (int x = text.left(); x <= text.right(); ++x) {
            const QRgb p = overlay.pixel(x, y);
            if (qAlpha(p) >= 64) {
                ASSERT_TRUE(qRed(p) >= 250 && qGreen(p) <= 4 && qBlue(p) <= 4) << x << "," << y;
            }
        }
    EXPECT_EQ(qAlpha(overlay.pixel(10, 10)), 0);
    EXPECT_GE(text.left(), 10);
    EXPECT_GE(text.top(), 10);
}

TEST(WaterMark, BackgroundIsARoundedBoxBehindTheText)
{
    const QColor blue = QColor::fromRgbF(0, 0, 1, 0.2f);
    const QImage overlay = textOverlay({640, 360}, QStringLiteral("Box"), Qt::white, blue, 48, 0.8,
                                       WMPositionCenter);
    ASSERT_EQ(overlay.size(), QSize(640, 360));
    const QRect box = visibleBounds(overlay);
    ASSERT_FALSE(box.isEmpty());
    // Centred on the canvas.
    EXPECT_NEAR(box.center().x(), 320, 1.5);
    EXPECT_NEAR(box.center().y(), 180, 1.5);
    int boxPixels = 0;
    int textPixels = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const QRgb p = overlay.pixel(x, y);
            boxPixels += nearColour(p, 0, 0, 255, 204);
            // Fully covered text: white at 0.8 over the box at 0.8.
            textPixels += nearColour(p, 212, 212, 255, 245, 3);
        }
    EXPECT_GT(boxPixels, box.width() * box.height() / 3);
    EXPECT_GT(textPixels, 50);
    // Radius 6: the very corner pixels are (nearly) uncovered, while the
    // edges next to them are covered (the outermost pixel column and row may
    // be partly covered, as the box edges fall between pixels).
    for (const QPoint corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()})
        EXPECT_LT(qAlpha(overlay.pixel(corner)), 60);
    EXPECT_TRUE(nearColour(overlay.pixel(box.left() + 1, box.center().y()), 0, 0, 255, 204));
    EXPECT_TRUE(nearColour(overlay.pixel(box.center().x(), box.bottom() - 1), 0, 0, 255, 204));
}

TEST(WaterMark, LongTextWrapsAndStaysInsideTheFrame)
{
    const QString words = QStringLiteral("a watermark text that is far too long for one line of this small frame ")
                              .repeated(4);
    const QString oneWord = QString(QStringLiteral("W")).repeated(80);
    for (const QString& text : {words, oneWord}) {
        const QImage overlay = textOverlay({640, 360}, text, Qt::white, Qt::black, 60, 1.0, WMPositionTopLeft);
        ASSERT_EQ(overlay.size(), QSize(640, 360));
        const QRect bounds = visibleBounds(overlay);
        EXPECT_GE(bounds.left(), 10);
        EXPECT_GE(bounds.top(), 10);
        EXPECT_LE(bounds.right(), 629);
        EXPECT_LE(bounds.bottom(), 349);
        // Several lines of white text: count the bands of rows that hold it.
        int bands = 0;
        bool inBand = false;
        for (int y = bounds.top(); y <= bounds.bottom(); ++y) {
            bool rowHasText = false;
            for (int x = bounds.left(); x <= bounds.right() && !rowHasText; ++x)
                rowHasText = nearColour(overlay.pixel(x, y), 255, 255, 255, 255, 30);
            if (rowHasText && !inBand)
                ++bands;
            inBand = rowHasText;
        }
        EXPECT_GE(bands, 3) << text.left(10).toStdString();
    }
}

TEST(WaterMark, PictureIsFittedPlacedAndDrawnAtTheOpacity)
{
    const QImage wide = pictureOverlay({1920, 1080}, solidImage(4000, 1000, Qt::green), 1.0, WMPositionCenter);
    ASSERT_EQ(wide.size(), QSize(1920, 1080));
    // 1900x475 at (10, 302.5) from the bottom: rows 302.5 to 777.5 from the top.
    const QRect solid = visibleBounds(wide, 250);
    EXPECT_EQ(solid, QRect(10, 303, 1900, 474));
    EXPECT_TRUE(nearColour(wide.pixel(960, 540), 0, 255, 0, 255));

    // A small picture keeps its size; at opacity 0.5 it is half transparent.
    const QImage small = pictureOverlay({1920, 1080}, solidImage(50, 40, Qt::green), 0.5, WMPositionBottomLeft);
    EXPECT_EQ(visibleBounds(small), QRect(10, 1030, 50, 40));
    EXPECT_TRUE(nearColour(small.pixel(30, 1050), 0, 255, 0, 128));
}

TEST(WaterMark, NothingToDrawGivesNoOverlay)
{
    auto media = videoItem(1920, 1080, {16, 9});
    media->resultWaterMarkImg = solidImage(4, 4, Qt::red);
    media->waterMartText = QString();
    media->buildWatermarkImage();
    EXPECT_TRUE(media->resultWaterMarkImg.isNull()) << "empty text";

    media->waterMarkType = WaterMarkTypeImage;
    media->waterMartText = QStringLiteral("text of no use for a picture watermark");
    media->buildWatermarkImage();
    EXPECT_TRUE(media->resultWaterMarkImg.isNull()) << "no picture";

    media->waterMarkType = static_cast<waterMarkType>(5);
    media->waterMarkImage = solidImage(4, 4, Qt::red);
    media->buildWatermarkImage();
    EXPECT_TRUE(media->resultWaterMarkImg.isNull()) << "unknown type";
}

TEST(WaterMark, AudioOnlyItemKeepsItsOverlay)
{
    auto media = videoItem(1920, 1080, {16, 9});
    media->mediaType = 1;
    media->waterMartText = QStringLiteral("Audio");
    const QImage previous = solidImage(3, 3, Qt::blue);
    media->resultWaterMarkImg = previous;
    media->buildWatermarkImage();
    EXPECT_EQ(media->resultWaterMarkImg, previous);
}

TEST(WaterMark, UnusableFrameSizesGiveNoOverlay)
{
    struct Case
    {
        int width;
        int height;
        ZKAVRational dar;
    };
    const Case cases[] = {
        {0, 0, {16, 9}},            // no video information yet
        {0, 576, {0, 0}},           // no width at all
        {-720, 576, {0, 0}},        // corrupt size
        {100000, 100000, {1, 1}},   // far beyond any real frame
        {720, 576, {2000000000, 1}} // a ratio that makes the canvas absurdly wide
    };
    for (const Case& c : cases) {
        auto media = videoItem(c.width, c.height, c.dar);
        media->waterMartText = QStringLiteral("X");
        media->resultWaterMarkImg = solidImage(2, 2, Qt::red);
        media->buildWatermarkImage();
        EXPECT_TRUE(media->resultWaterMarkImg.isNull()) << c.width << "x" << c.height;
    }
}

TEST(WaterMark, TinyCanvasGivesATransparentOverlayOfTheFrameSize)
{
    auto media = videoItem(16, 16, {0, 0});
    media->waterMartText = QStringLiteral("X");
    media->buildWatermarkImage();
    ASSERT_EQ(media->resultWaterMarkImg.size(), QSize(16, 16));
    EXPECT_EQ(maxAlpha(media->resultWaterMarkImg), 0);
}

TEST(WaterMark, OverlayCanBeBuiltOnAWorkerThread)
{
    // The conversion job builds the overlay on its own thread.
    auto media = videoItem(1280, 720, {16, 9});
    media->waterMartText = QStringLiteral("Worker");
    std::thread worker([&] { media->buildWatermarkImage(); });
    worker.join();
    ASSERT_EQ(media->resultWaterMarkImg.size(), QSize(1280, 720));
    EXPECT_GT(maxAlpha(media->resultWaterMarkImg), 0);
}
