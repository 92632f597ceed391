// The item's watermark: whether it has one, and its full-frame overlay.
#include "Media/LSMedia.h"

#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QFont>
#include <QFontDatabase>

#include <algorithm>

namespace {

// Font sizes beyond this are no sensible watermark and only fill the glyph
// cache; the canvas itself is at most 16384 pixels wide.
constexpr int64_t kMaxFontSize = 4096;

}  // namespace

bool LSMedia::hasWaterMark() const
{
    if (waterMarkType == WaterMarkTypeText)
        return !waterMartText.isEmpty();
    if (waterMarkType == WaterMarkTypeImage)
        return !waterMarkImage.isNull();
    return false;
}

void LSMedia::buildWatermarkImage()
{
    // Audio-only items have no frame to mark; whatever overlay they hold stays.
    if (isAudioOnly())
        return;

    // The canvas is the frame as displayed: the stored height, and the width
    // the display aspect ratio gives it. A ratio that is missing or makes no
    // sense (zero or negative terms) leaves the stored width.
    double canvasWidth = pixWidth;
    const ZKAVRational dar = display_aspect_ratio;
    if (dar.num != 0 && dar.den != 0) {
        const double ratio = static_cast<double>(dar.num) / static_cast<double>(dar.den);
        if (ratio > 0.0)
            canvasWidth = static_cast<double>(pixHeight) * ratio;
    }
    const double canvasHeight = pixHeight;
    if (canvasWidth == 0.0 && canvasHeight == 0.0) {
        // No video stream information yet.
        resultWaterMarkImg = QImage();
        return;
    }

    // The size is taken as pixels of the frame (a point per pixel): the
    // watermark covers the same share of the picture on every screen.
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(static_cast<int>(std::clamp<int64_t>(wmTextFontSize, 1, kMaxFontSize)));

    resultWaterMarkImg = GlobalFun::getOverlayImgWithSize(
        QSizeF(canvasWidth, canvasHeight), waterMarkType, waterMartText, wmTextColor, wmTextBgColor, font,
        waterMarkImage, wmTransValue, wmItemPosition, QSizeF(pixWidth, pixHeight));
}
