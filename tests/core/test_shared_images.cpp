#include "Settings/GlobalResources.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

namespace {

const char* const kKeys[] = {
    "PrgPauseImageKey",          "PrgPauseImageDownKey",       "PrgContinueImageKey",
    "PrgContinueImageDownKey",   "PrgCanceledImageKey",        "PrgCanceledImageDownKey",
    "PrgBkgLeftCapImgKey",       "PrgBkgMiddleCapImgKey",      "PrgBkgRightCapImgKey",
    "PrgAboveLeftCapImgKey",     "PrgAboveMiddleCapImgKey",    "PrgAboveRightCapImgKey",
    "SliderView_SliderLeftImg",  "SliderView_SliderMiddleImg", "SliderView_SliderRightImg",
    "SliderView_SliderLeftSecImg", "SliderView_SliderMiddleSecImg", "SliderView_SliderRightSecImg",
    "SliderView_KnobImg",        "SplitSlider_TrimLeftImg",    "SplitSlider_TrimRightImg",
};

QImage named(const char* name)
{
    return GlobalResources::imageNamed(QString::fromLatin1(name));
}

// Mean lightness of the visible pixels, weighted by their alpha.
double meanLightness(const QImage& image)
{
    double sum = 0;
    double weight = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            sum += c.lightnessF() * c.alphaF();
            weight += c.alphaF();
        }
    return weight > 0 ? sum / weight : 0;
}

}  // namespace

TEST(SharedImages, EveryKeyHasAnImageAfterStartUp)
{
    GlobalResources::prepareGlobalRes();
    for (const char* key : kKeys)
        EXPECT_FALSE(GlobalResources::sharedImage(QString::fromLatin1(key)).isNull()) << key;
    EXPECT_TRUE(GlobalResources::sharedImage(QStringLiteral("NoSuchImageKey")).isNull());
}

TEST(SharedImages, ThreePartImagesLineUp)
{
    // Caps and the stretched middle of each bar share one height, the middle
    // is a thin strip, and the caps mirror each other.
    const char* const bars[][3] = {
        {"PrgBkgLeftCap", "PrgBkgMiddleCap", "PrgBkgRightCap"},
        {"PrgAboveLeftCap", "PrgAboveMiddleCap", "PrgAboveRightCap"},
        {"SliderBkgLeft", "SliderBkgMiddle", "SliderBkgRight"},
        {"SliderAbLeft", "SliderAbMiddle", "SliderAbRight"},
    };
    for (const auto& bar : bars) {
        const QImage left = named(bar[0]);
        const QImage middle = named(bar[1]);
        const QImage right = named(bar[2]);
        ASSERT_FALSE(left.isNull() || middle.isNull() || right.isNull()) << bar[0];
        EXPECT_EQ(left.height(), middle.height()) << bar[1];
        EXPECT_EQ(right.height(), middle.height()) << bar[2];
        EXPECT_EQ(left.size(), right.size()) << bar[0];
        EXPECT_LE(middle.width(), 2) << bar[1];
        EXPECT_GE(middle.height(), 6) << bar[1];
        EXPECT_LE(middle.height(), 8) << bar[1];
        // Rounded: the outer corner of a cap is clear, its inner edge solid.
        EXPECT_LT(qAlpha(left.pixel(0, 0)), 100) << bar[0];
        EXPECT_EQ(qAlpha(left.pixel(left.width() - 1, left.height() / 2)), 255) << bar[0];
        EXPECT_LT(qAlpha(right.pixel(right.width() - 1, 0)), 100) << bar[2];
        EXPECT_EQ(qAlpha(middle.pixel(0, 0)), 255) << bar[1];
    }
    // The progress track and the slider track have the same height as their fills.
    EXPECT_EQ(named("PrgBkgMiddleCap").height(), named("PrgAboveMiddleCap").height());
    EXPECT_EQ(named("SliderBkgMiddle").height(), named("SliderAbMiddle").height());
}

TEST(SharedImages, KnobIsCentredOnTheSliderTrack)
{
    // The sliders put the track's bottom at 10 and the knob's at 7.
    const QImage knob = named("SliderKnob");
    const QImage track = named("SliderBkgLeft");
    ASSERT_FALSE(knob.isNull() || track.isNull());
    EXPECT_EQ(knob.width(), knob.height());
    EXPECT_DOUBLE_EQ(7 + knob.height() / 2.0, 10 + track.height() / 2.0);
    EXPECT_LT(qAlpha(knob.pixel(0, 0)), 30) << "round";
    EXPECT_EQ(qAlpha(knob.pixel(knob.width() / 2, knob.height() / 2)), 255);
}

TEST(SharedImages, TrimHandlesAreMirroredBrackets)
{
    const QImage left = named("SliderTrimLeft");
    const QImage right = named("SliderTrimRight");
    ASSERT_FALSE(left.isNull() || right.isNull());
    EXPECT_EQ(left.size(), right.size()) << "the left handle's size is used for both";
    const QImage mirrored = left.mirrored(true, false);
    for (int y = 0; y < left.height(); ++y)
        for (int x = 0; x < left.width(); ++x)
            EXPECT_NEAR(qAlpha(mirrored.pixel(x, y)), qAlpha(right.pixel(x, y)), 2) << x << "," << y;
    // Open towards the selection: the inner side is clear in the middle.
    EXPECT_EQ(qAlpha(left.pixel(left.width() - 1, left.height() / 2)), 0);
    EXPECT_EQ(qAlpha(left.pixel(1, left.height() / 2)), 255);
}

TEST(SharedImages, ButtonsHaveDarkerPressedVariants)
{
    for (const char* base : {"PrgPause", "PrgContinue", "PrgCanceled"}) {
        const QImage normal = named(base);
        const QImage pressed = named((QByteArray(base) + "Down").constData());
        ASSERT_FALSE(normal.isNull() || pressed.isNull()) << base;
        EXPECT_EQ(normal.size(), pressed.size()) << base;
        EXPECT_LE(normal.width(), 25) << "fits the 25x26 button area";
        EXPECT_LE(normal.height(), 26);
        EXPECT_LT(meanLightness(pressed), meanLightness(normal) - 0.05) << base;
        EXPECT_LT(qAlpha(normal.pixel(0, 0)), 30) << base << " is round";
    }
}
