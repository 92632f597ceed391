// The media item: initial values, the copy rule, the display size and the
// preview URL.
#include "Media/LSMedia.h"
#include "support/TestMedia.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

namespace {

QImage solid(QColor c)
{
    QImage img(8, 6, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

TEST(LSMedia, StartsWithItsInitialValues)
{
    const LSMedia m;
    EXPECT_TRUE(m.bSampeQuality);
    EXPECT_EQ(m.eumCropType, CropTypeNone);
    EXPECT_EQ(m.dProgress.load(), 0.0f);
    EXPECT_EQ(m.cvtState(), CvtStateWaiting);
    EXPECT_EQ(m.eumDestFmtType, 0);
    EXPECT_EQ(m.iOWidth, 0);
    EXPECT_EQ(m.iOHeight, 0);
    EXPECT_EQ(m.aspectOption, AspectOptionSource);
    EXPECT_TRUE(m.imgThumbnail.isNull());
    EXPECT_TRUE(m.strFmtName.isNull());
    EXPECT_TRUE(m.strOResolution.isNull());
    EXPECT_TRUE(m.strProfileName.isNull());
    EXPECT_EQ(m.dLeftTime.load(), 0.0);
    EXPECT_EQ(m.dVOBitrate, 0);
    EXPECT_EQ(m.waterMarkType, WaterMarkTypeText);
    EXPECT_EQ(m.wmTextColor, QColor::fromRgbF(1, 1, 1, 1));
    EXPECT_EQ(m.wmTextBgColor, QColor::fromRgbF(0, 0, 0, 1));
    EXPECT_EQ(m.wmTextFontSize, 60);
    EXPECT_DOUBLE_EQ(m.wmTransValue, 0.8);
    EXPECT_EQ(m.wmItemPosition, WMPositionTopLeft);
    EXPECT_TRUE(m.rcCroped.isNull());
    EXPECT_TRUE(m.resultWaterMarkImg.isNull());
}

// A loaded item with every setting changed from its initial value.
LSMediaPtr editedItem()
{
    auto m = LSMedia::mediaWithPath(TestMedia::videoWithAudio());
    EXPECT_TRUE(m->loadValuesSynchronously());
    m->imgThumbnail = solid(Qt::red);
    m->imgFormat = solid(Qt::green);
    m->eumDestFmtType = DestFmtTypeAudio;
    m->bSampeQuality = false;
    m->strFmtName = "MP4 H.264";
    m->dVOBitrate = 1800;
    m->vOFps = 29.97;
    m->iOWidth = 1280;
    m->iOHeight = 720;
    m->strOResolution = "1280*720";
    m->readableVOCodecName = "H.264";
    m->vOVCodecName = "libx264";
    m->dAOBitrate = 160;
    m->dAOSamplerate = 48000;
    m->readableAOCodecName = "AAC";
    m->vOACodecName = "aac";
    m->dProgress = 42.5f;
    m->dLeftTime = 17.25;
    m->setCvtState(CvtStatePaused);
    m->strDescription = "H.264, 1280*720";
    m->strOutFileName = "holiday (2)";
    m->strOutFileExt = "mp4";
    m->dTrimStart = 0.4;
    m->dTrimLength = 1.2;
    m->dSplitStart = 0.25;
    m->dSplitLength = 1.5;
    m->eumCropType = CropType16x9;
    m->rcCroped = QRectF(10, 20, 160, 90);
    m->waterMarkImage = solid(Qt::blue);
    m->waterMarkType = WaterMarkTypeImage;
    m->waterMartText = "(c) me";
    m->wmTextColor = QColor(10, 20, 30);
    m->wmTextBgColor = QColor(200, 100, 50, 128);
    m->wmTextFontSize = 24;
    m->wmTransValue = 0.35;
    m->wmItemPosition = WMPositionBottomRight;
    m->aspectOption = AspectOption16x9;
    m->strProfileName = "iPhone";
    m->strProfileType = "Apple";
    m->resultWaterMarkImg = solid(Qt::white);
    return m;
}

TEST(LSMedia, CopyCarriesSettingsButNotTheAspectChoiceOrProfileName)
{
    const LSMediaPtr src = editedItem();
    const LSMediaPtr c = src->copy();
    ASSERT_NE(c, src);

    // Not copied: the copy has the initial values.
    EXPECT_EQ(c->aspectOption, AspectOptionSource);
    EXPECT_TRUE(c->strProfileName.isNull());
    EXPECT_TRUE(c->strProfileType.isNull());
    EXPECT_TRUE(c->resultWaterMarkImg.isNull());

    // Trim, split, crop and watermark.
    EXPECT_EQ(c->dTrimStart, src->dTrimStart);
    EXPECT_EQ(c->dTrimLength, src->dTrimLength);
    EXPECT_EQ(c->dSplitStart, src->dSplitStart);
    EXPECT_EQ(c->dSplitLength, src->dSplitLength);
    EXPECT_EQ(c->eumCropType, CropType16x9);
    EXPECT_EQ(c->rcCroped, src->rcCroped);
    EXPECT_EQ(c->waterMarkImage, src->waterMarkImage);
    EXPECT_EQ(c->waterMarkType, WaterMarkTypeImage);
    EXPECT_EQ(c->waterMartText, "(c) me");
    EXPECT_EQ(c->wmTextColor, src->wmTextColor);
    EXPECT_EQ(c->wmTextBgColor, src->wmTextBgColor);
    EXPECT_EQ(c->wmTextFontSize, 24);
    EXPECT_EQ(c->wmTransValue, 0.35);
    EXPECT_EQ(c->wmItemPosition, WMPositionBottomRight);

    // Output settings and conversion state.
    EXPECT_EQ(c->imgThumbnail, src->imgThumbnail);
    EXPECT_EQ(c->imgFormat, src->imgFormat);
    EXPECT_EQ(c->eumDestFmtType, DestFmtTypeAudio);
    EXPECT_FALSE(c->bSampeQuality);
    EXPECT_EQ(c->strFmtName, src->strFmtName);
    EXPECT_EQ(c->dVOBitrate, 1800);
    EXPECT_EQ(c->vOFps, 29.97);
    EXPECT_EQ(c->iOWidth, 1280);
    EXPECT_EQ(c->iOHeight, 720);
    EXPECT_EQ(c->strOResolution, "1280*720");
    EXPECT_EQ(c->readableVOCodecName, "H.264");
    EXPECT_EQ(c->vOVCodecName, "libx264");
    EXPECT_EQ(c->dAOBitrate, 160);
    EXPECT_EQ(c->dAOSamplerate, 48000);
    EXPECT_EQ(c->readableAOCodecName, "AAC");
    EXPECT_EQ(c->vOACodecName, "aac");
    EXPECT_EQ(c->dProgress.load(), 42.5f);
    EXPECT_EQ(c->dLeftTime.load(), 17.25);
    EXPECT_EQ(c->cvtState(), CvtStatePaused);
    EXPECT_EQ(c->strDescription, src->strDescription);
    EXPECT_EQ(c->strOutFileName, "holiday (2)");
    EXPECT_EQ(c->strOutFileExt, "mp4");

    // The probed file information of the base class.
    EXPECT_TRUE(c->isLoaded);
    EXPECT_EQ(c->filePath, src->filePath);
    EXPECT_EQ(c->duration, src->duration);
    EXPECT_EQ(c->pixWidth, 320);
    EXPECT_EQ(c->display_aspect_ratio, src->display_aspect_ratio);
    EXPECT_EQ(c->videoCodecName, "h264");
    EXPECT_EQ(c->audioBitrate, src->audioBitrate);
    EXPECT_EQ(c->metaData, src->metaData);
    ASSERT_NE(c->videoTrack(), nullptr);
    EXPECT_EQ(c->videoTrack()->pixWidth, 320);
}

TEST(LSMedia, CopyIsIndependentOfItsSource)
{
    const LSMediaPtr src = editedItem();
    const LSMediaPtr c = src->copy();
    c->dProgress = 90.0f;
    c->setCvtState(CvtStateFinished);
    c->dTrimStart = 1.0;
    c->waterMartText = "other";
    EXPECT_EQ(src->dProgress.load(), 42.5f);
    EXPECT_EQ(src->cvtState(), CvtStatePaused);
    EXPECT_EQ(src->dTrimStart, 0.4);
    EXPECT_EQ(src->waterMartText, "(c) me");
}

struct SizeCase
{
    int32_t w, h;
    ZKAVRational dar;
    double expectW, expectH;
};

class LSMediaDisplaySize : public ::testing::TestWithParam<SizeCase>
{
};

TEST_P(LSMediaDisplaySize, FollowsTheDisplayAspectRatio)
{
    const SizeCase& c = GetParam();
    LSMedia m;
    m.pixWidth = c.w;
    m.pixHeight = c.h;
    m.display_aspect_ratio = c.dar;
    EXPECT_DOUBLE_EQ(m.displaySize().width(), c.expectW);
    EXPECT_DOUBLE_EQ(m.displaySize().height(), c.expectH);
}

INSTANTIATE_TEST_SUITE_P(Cases, LSMediaDisplaySize,
                         ::testing::Values(SizeCase{720, 576, {16, 9}, 1024, 576},   // PAL widescreen
                                           SizeCase{720, 576, {4, 3}, 768, 576},     // PAL
                                           SizeCase{320, 240, {4, 3}, 320, 240},     // square pixels
                                           SizeCase{720, 576, {0, 1}, 720, 576},     // no ratio known
                                           SizeCase{720, 576, {16, 0}, 720, 576},    // no ratio either
                                           SizeCase{0, 0, {0, 0}, 0, 0}));           // audio only

TEST(LSMedia, DisplaySizeOfAProbedAnamorphicClip)
{
    auto m = LSMedia::mediaWithPath(TestMedia::anamorphic());
    ASSERT_TRUE(m->loadValuesSynchronously());
    EXPECT_EQ(m->displaySize(), QSizeF(1024, 576));
}

TEST(LSMedia, AudioOnlyItemKeepsItsOutputSizeUnset)
{
    auto m = LSMedia::mediaWithPath(TestMedia::audioOnly());
    ASSERT_TRUE(m->loadValuesSynchronously());
    EXPECT_TRUE(m->isAudioOnly());
    EXPECT_EQ(m->iOWidth, 0);
    EXPECT_EQ(m->iOHeight, 0);
    EXPECT_TRUE(m->strOResolution.isNull());
    EXPECT_EQ(m->displaySize(), QSizeF(0, 0));
}

TEST(LSMedia, PreviewItemURLIsTheFileURLOfItsPath)
{
    for (const QString& path : {QStringLiteral("/tmp/a b/clip #1?.mp4"), QStringLiteral("/tmp/caf\u00e9 100%.mov")}) {
        LSMedia m;
        m.filePath = path;
        const QUrl url = m.previewItemURL();
        EXPECT_TRUE(url.isLocalFile());
        EXPECT_EQ(url.toLocalFile(), path);
    }
}

}  // namespace
