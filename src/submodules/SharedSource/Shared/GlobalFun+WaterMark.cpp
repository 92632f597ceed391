// Composition of the watermark overlay: one transparent picture as large as
// the video frame with the text or picture already placed in it. The
// conversion lays it over the frame at 0:0 and the preview draws it over the
// video, so everything here is about where the watermark sits in that frame.
//
// The watermark is drawn on a canvas of the displayed frame size (an
// anamorphic 720x576 16:9 frame is drawn on 1024x576) so that text and
// pictures keep their shape, and the finished canvas is then squeezed into the
// stored frame size; the player's display stretch restores the shape.
//
// Sizes are canvas pixels. The canvas is a 72 dpi device, so a font given in
// points draws one point per pixel, exactly like a font given in pixels: a
// 60 pt watermark is 60 px tall on a 1080-line frame whatever the screen.
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace {

// Space kept free between the watermark and the frame edges it touches.
constexpr double kEdgeMargin = 10.0;
constexpr double kBoxCornerRadius = 6.0;

// Beyond these no overlay is made at all (a 16K-wide frame, or a corrupt
// size from a broken stream, would otherwise ask for gigabytes).
constexpr double kMaxSide = 16384.0;
constexpr double kMaxPixels = 8192.0 * 8192.0;

// 72 dots per inch, expressed per metre as QImage wants it.
constexpr int kDotsPerMeterAt72Dpi = 2835;

bool isUsableSize(QSizeF size)
{
    const double w = size.width();
    const double h = size.height();
    return std::isfinite(w) && std::isfinite(h) && w >= 1.0 && h >= 1.0 && w <= kMaxSide && h <= kMaxSide
        && w * h <= kMaxPixels;
}

double clampedOpacity(double value)
{
    if (!(value > 0.0))  // also catches NaN
        return 0.0;
    return std::min(value, 1.0);
}

// The colour's red, green and blue in device RGB; its own alpha is replaced.
QColor withOpacity(const QColor& color, double opacity)
{
    const QColor rgb = color.toRgb();
    return QColor::fromRgbF(rgb.redF(), rgb.greenF(), rgb.blueF(), static_cast<float>(opacity));
}

// QTextLayout breaks lines only at the Unicode line separator.
QString textForLayout(QString text)
{
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    text.replace(QLatin1Char('\r'), QChar::LineSeparator);
    text.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
    return text;
}

// Text laid out inside a box: lines wrap at the box width (at word
// boundaries, a word longer than the box is broken anywhere, no hyphens), and
// only whole lines that fit into the box height are kept. `used` is the area
// those lines cover, starting at the box's top-left corner.
struct TextBlock
{
    std::unique_ptr<QTextLayout> layout;
    int lineCount = 0;
    QSizeF used;
};

TextBlock layOutText(const QString& text, const QFont& font, const QPaintDevice* device, QSizeF box)
{
    TextBlock block;
    block.layout = std::make_unique<QTextLayout>(text, font, const_cast<QPaintDevice*>(device));
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    block.layout->setTextOption(option);
    block.layout->setCacheEnabled(true);

    double y = 0.0;
    double width = 0.0;
    block.layout->beginLayout();
    for (;;) {
        QTextLine line = block.layout->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        line.setLineWidth(box.width());
        if (y + line.height() > box.height())
            break;
        line.setPosition(QPointF(0.0, y));
        y += line.height();
        width = std::max(width, line.naturalTextWidth());
        ++block.lineCount;
    }
    block.layout->endLayout();
    block.used = QSizeF(std::min(width, box.width()), y);
    return block;
}

}  // namespace

// The rectangle is in canvas coordinates with the origin at the bottom-left
// corner and y growing upwards. The overlay is fitted (never enlarged) into
// the canvas less the two margins, then put at its position.
QRectF GlobalFun::getFrameWithBkgSize(QSizeF bkgSize, QSizeF overlaySize, int32_t position)
{
    const double canvasWidth = bkgSize.width();
    const double canvasHeight = bkgSize.height();
    const QSizeF limit(canvasWidth - 2.0 * kEdgeMargin, canvasHeight - 2.0 * kEdgeMargin);

    // A canvas of 20 pixels or less leaves no room inside the margins, and a
    // meaningless overlay size has nothing to fit: the frame is then empty.
    QSizeF fitted(0.0, 0.0);
    const bool limitUsable = std::isfinite(limit.width()) && std::isfinite(limit.height()) && limit.width() > 0.0
        && limit.height() > 0.0;
    const bool overlayUsable = std::isfinite(overlaySize.width()) && std::isfinite(overlaySize.height())
        && overlaySize.width() >= 0.0 && overlaySize.height() >= 0.0;
    if (limitUsable && overlayUsable)
        fitted = getSizeWithOrigin(overlaySize, limit);

    const double w = fitted.width();
    const double h = fitted.height();
    QPointF origin(0.0, 0.0);
    switch (position) {
    case 0:  // top left
        origin = QPointF(kEdgeMargin, canvasHeight - kEdgeMargin - h);
        break;
    case 1:  // top right
        origin = QPointF(canvasWidth - kEdgeMargin - w, canvasHeight - kEdgeMargin - h);
        break;
    case 2:  // centre
        origin = QPointF((canvasWidth - w) / 2.0, (canvasHeight - h) / 2.0);
        break;
    case 3:  // bottom left
        origin = QPointF(kEdgeMargin, kEdgeMargin);
        break;
    case 4:  // bottom right
        origin = QPointF(canvasWidth - kEdgeMargin - w, kEdgeMargin);
        break;
    default:  // the canvas corner itself, no margin
        break;
    }
    return QRectF(origin, fitted);
}

// size is the canvas (displayed frame) size, destSize the stored frame size
// the result is resampled to (0x0: keep the canvas size). An invalid
// txtBgColor means no box behind the text. The result is a premultiplied
// ARGB32 image of the destination size, transparent except for the
// watermark; it is null when there is nothing to draw or no usable frame size
// (below one pixel, over 16384 pixels a side or 8192x8192 in all).
QImage GlobalFun::getOverlayImgWithSize(QSizeF size, int64_t waterMarkType, const QString& waterMarkText,
                                        const QColor& txtColor, const QColor& txtBgColor, const QFont& txtFont,
                                        const QImage& wmImage, double transValue, int64_t positioon,
                                        QSizeF destSize)
{
    const bool drawText = waterMarkType == 0 && !waterMarkText.isEmpty();
    const bool drawImage = waterMarkType == 1 && !wmImage.isNull();
    if (!drawText && !drawImage)
        return {};
    if (!isUsableSize(size))
        return {};

    const bool keepCanvasSize = destSize.width() == 0.0 && destSize.height() == 0.0;
    const QSizeF target = keepCanvasSize ? size : destSize;
    if (!isUsableSize(target))
        return {};
    const int targetWidth = static_cast<int>(target.width());
    const int targetHeight = static_cast<int>(target.height());

    const double canvasWidth = size.width();
    const double canvasHeight = size.height();
    QImage canvas(static_cast<int>(std::ceil(canvasWidth)), static_cast<int>(std::ceil(canvasHeight)),
                  QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull())
        return {};
    canvas.fill(Qt::transparent);
    const int usualDotsPerMeterX = canvas.dotsPerMeterX();
    const int usualDotsPerMeterY = canvas.dotsPerMeterY();
    canvas.setDotsPerMeterX(kDotsPerMeterAt72Dpi);
    canvas.setDotsPerMeterY(kDotsPerMeterAt72Dpi);

    // Positions beyond the 32-bit range are no known position either.
    const int32_t position = positioon >= std::numeric_limits<int32_t>::min()
            && positioon <= std::numeric_limits<int32_t>::max()
        ? static_cast<int32_t>(positioon)
        : -1;
    const double opacity = clampedOpacity(transValue);
    // Frames come back with the origin at the bottom left; the painter's is
    // at the top left.
    const auto onCanvas = [canvasHeight](const QRectF& frame) {
        return QRectF(frame.x(), canvasHeight - frame.y() - frame.height(), frame.width(), frame.height());
    };

    {
        QPainter painter(&canvas);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing
                               | QPainter::SmoothPixmapTransform);
        if (drawText) {
            const QString text = textForLayout(waterMarkText);
            TextBlock measured = layOutText(text, txtFont, &canvas, size);
            const QRectF frame = getFrameWithBkgSize(size, measured.used, position);
            const QRectF box = onCanvas(frame);
            if (!box.isEmpty()) {
                if (txtBgColor.isValid()) {
                    QPainterPath path;
                    path.addRoundedRect(box, kBoxCornerRadius, kBoxCornerRadius);
                    painter.fillPath(path, withOpacity(txtBgColor, opacity));
                }
                // A frame shrunk to fit keeps the font: the text is laid out
                // again inside it, wraps earlier, and what does not fit is cut.
                TextBlock drawn = frame.size() == measured.used ? std::move(measured)
                                                                : layOutText(text, txtFont, &canvas, frame.size());
                painter.save();
                painter.setClipRect(box);
                painter.setPen(withOpacity(txtColor, opacity));
                for (int i = 0; i < drawn.lineCount; ++i)
                    drawn.layout->lineAt(i).draw(&painter, box.topLeft());
                painter.restore();
            }
        } else {
            const QRectF frame = getFrameWithBkgSize(size, QSizeF(wmImage.size()), position);
            const QRectF box = onCanvas(frame);
            if (!box.isEmpty()) {
                painter.setOpacity(opacity);
                painter.drawImage(box, wmImage);
                painter.setOpacity(1.0);
            }
        }
    }

    QImage result;
    if (canvas.width() == targetWidth && canvas.height() == targetHeight) {
        result = std::move(canvas);
        // Handed-out images have the usual resolution, like any other.
        result.setDotsPerMeterX(usualDotsPerMeterX);
        result.setDotsPerMeterY(usualDotsPerMeterY);
    } else if (keepCanvasSize || target == size) {
        // Same size, only the fraction of a pixel of the canvas is dropped.
        result = canvas.copy(0, 0, targetWidth, targetHeight);
        result.setDotsPerMeterX(usualDotsPerMeterX);
        result.setDotsPerMeterY(usualDotsPerMeterY);
    } else {
        result = QImage(targetWidth, targetHeight, QImage::Format_ARGB32_Premultiplied);
        if (result.isNull())
            return {};
        result.fill(Qt::transparent);
        QPainter painter(&result);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(0.0, 0.0, targetWidth, targetHeight), canvas,
                          QRectF(0.0, 0.0, canvasWidth, canvasHeight));
    }

    // The result is a plain 8-bit RGBA bitmap of exactly the frame size,
    // already what a PNG round trip would give back (the PNG encoder stores
    // these pixels losslessly), so it is handed out as it is: premultiplied,
    // which is also the format the preview draws fastest. Skipping the
    // round trip saves well over 90% of the time of a composition.
    return result;
}
