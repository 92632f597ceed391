#include "Media/LSMedia.h"

// The initial values live with the field declarations; trim and split
// ranges are set by the loader once the file is opened.
LSMedia::LSMedia() = default;

std::shared_ptr<LSMedia> LSMedia::copy() const
{
    auto m = std::make_shared<LSMedia>();
    // The probed file information comes with the base class's copy.
    m->ZKAVURLAsset::operator=(*this);

    m->imgThumbnail = imgThumbnail;
    m->imgFormat = imgFormat;
    m->eumDestFmtType = eumDestFmtType;
    m->bSampeQuality = bSampeQuality;
    m->strFmtName = strFmtName;
    m->dVOBitrate = dVOBitrate;
    m->vOFps = vOFps;
    m->iOWidth = iOWidth;
    m->iOHeight = iOHeight;
    m->strOResolution = strOResolution;
    m->readableVOCodecName = readableVOCodecName;
    m->vOVCodecName = vOVCodecName;
    m->dAOBitrate = dAOBitrate;
    m->dAOSamplerate = dAOSamplerate;
    m->readableAOCodecName = readableAOCodecName;
    m->vOACodecName = vOACodecName;
    m->dProgress.store(dProgress.load());
    m->dLeftTime.store(dLeftTime.load());
    m->eumCvtState.store(eumCvtState.load());
    m->strDescription = strDescription;
    m->strOutFileName = strOutFileName;
    m->strOutFileExt = strOutFileExt;
    m->dTrimStart = dTrimStart;
    m->dTrimLength = dTrimLength;
    m->dSplitStart = dSplitStart;
    m->dSplitLength = dSplitLength;
    m->eumCropType = eumCropType;
    m->rcCroped = rcCroped;
    m->waterMarkImage = waterMarkImage;
    m->waterMarkType = waterMarkType;
    m->waterMartText = waterMartText;
    m->wmTextColor = wmTextColor;
    m->wmTextBgColor = wmTextBgColor;
    m->wmTextFontSize = wmTextFontSize;
    m->wmTransValue = wmTransValue;
    m->wmItemPosition = wmItemPosition;
    // aspectOption, strProfileName, strProfileType and the composed
    // watermark overlay keep their initial values.
    return m;
}

QSizeF LSMedia::displaySize() const
{
    const double height = pixHeight;
    // A ratio with a zero term says nothing about the shape: show the pixels.
    if (display_aspect_ratio.num != 0 && display_aspect_ratio.den != 0)
        return QSizeF(height * display_aspect_ratio.num / display_aspect_ratio.den, height);
    return QSizeF(pixWidth, height);
}

QUrl LSMedia::previewItemURL() const
{
    return QUrl::fromLocalFile(filePath);
}
