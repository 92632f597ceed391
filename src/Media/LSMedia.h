#pragma once

#include "Media/LSMediaTypes.h"
#include "RAZedIruvIvizor/ZKAVURLAsset.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>

// One input file in the list with everything chosen for its conversion.
// Items are shared (std::shared_ptr) by the list, the windows and the running
// jobs. The job's thread writes eumCvtState, dProgress and dLeftTime while the
// interface thread reads them, so those three are atomic; every other field is
// written by the loader thread before the item reaches the list, then by the
// interface thread (and by the job while it builds its arguments).
class LSMedia : public ZKAVURLAsset
{
public:
    LSMedia();
    ~LSMedia() override = default;

    static std::shared_ptr<LSMedia> mediaWithPath(const QString& path)
    {
        return ZKAVURLAsset::assetWithUrl<LSMedia>(path);
    }

    // A new item with the probed information and the conversion settings of
    // this one; aspectOption, strProfileName, strProfileType and the cached
    // watermark overlay start afresh.
    std::shared_ptr<LSMedia> copy() const;

    // Picture size on screen: the pixel height, and the width the display
    // aspect ratio gives it (the pixel width when no ratio is known).
    QSizeF displaySize() const;
    QUrl previewItemURL() const;

    // Watermark: whether the item carries one, and composing its full-frame
    // overlay into resultWaterMarkImg (audio-only items are left alone).
    bool hasWaterMark() const;
    void buildWatermarkImage();

    bool bSampeQuality = true;
    ::eumCropType eumCropType = CropTypeNone;
    std::atomic<float> dProgress{0.0f};
    std::atomic<int32_t> eumCvtState{CvtStateWaiting};
    int32_t eumDestFmtType = 0;
    int32_t iOWidth = 0;
    int32_t iOHeight = 0;
    int32_t aspectOption = AspectOptionSource;
    QImage imgThumbnail;
    QImage imgFormat;
    QString strFmtName;
    QString strOutFileName;
    QString strOutFileExt;
    QString strDescription;
    QString strProfileName;
    std::atomic<double> dLeftTime{0.0};
    double dTrimStart = 0;
    double dTrimLength = 0;
    double dSplitStart = 0;
    double dSplitLength = 0;
    double dVOBitrate = 0;
    double vOFps = 0;
    QString strOResolution;
    QString vOVCodecName;
    double dAOBitrate = 0;
    double dAOSamplerate = 0;
    QString vOACodecName;
    QString readableVOCodecName;
    QString readableAOCodecName;
    QImage resultWaterMarkImg;
    ::waterMarkType waterMarkType = WaterMarkTypeText;
    QString waterMartText;
    QColor wmTextColor{QColor::fromRgbF(1, 1, 1, 1)};
    QColor wmTextBgColor{QColor::fromRgbF(0, 0, 0, 1)};
    int64_t wmTextFontSize = 60;
    QImage waterMarkImage;
    double wmTransValue = 0.8;
    ::wmItemPosition wmItemPosition = WMPositionTopLeft;
    QRectF rcCroped;
    QString strProfileType;

    ::eumCvtState cvtState() const { return static_cast<::eumCvtState>(eumCvtState.load()); }
    void setCvtState(::eumCvtState s) { eumCvtState.store(s); }
    bool isAudioOnly() const { return mediaType == 1; }
};

using LSMediaPtr = std::shared_ptr<LSMedia>;
