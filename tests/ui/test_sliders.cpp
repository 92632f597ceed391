// The timeline sliders: value mapping, press zones, handle rules, the split
// test and where things are drawn. Geometry in these tests is in the
// sliders' view points (origin bottom-left); toWidget() turns a view point
// into the Qt point that QTest presses.
#include "Settings/GlobalResources.h"
#include "Views/BaseSliderView.h"
#include "Views/ProgressSliderView.h"
#include "Views/SplitSliderView.h"
#include "Views/TrimSliderView.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 40;

struct Call
{
    std::string what;
    double value = 0;
    bool left = false;
    bool operator==(const Call& o) const { return what == o.what && value == o.value && left == o.left; }
};

std::ostream& operator<<(std::ostream& os, const Call& c)
{
    return os << c.what << "(" << c.value << (c.left ? ", left" : "") << ")";
}

class RecordingDelegate : public SliderViewDelegate
{
public:
    std::vector<Call> calls;
    void sliderViewBeginDragAt(BaseSliderView*, double v) override { calls.push_back({"begin", v}); }
    void sliderViewDidChangeValue(BaseSliderView*, double v) override { calls.push_back({"change", v}); }
    void sliderViewEndDragAt(BaseSliderView*, double v) override { calls.push_back({"end", v}); }
    void splitSliderViewBeginDragClip(SplitSliderView*, bool l) override { calls.push_back({"clipBegin", 0, l}); }
    void splitSliderViewDragClipTo(SplitSliderView*, bool l) override { calls.push_back({"clipDrag", 0, l}); }
    void splitSliderViewEndDragClip(SplitSliderView*, bool l) override { calls.push_back({"clipEnd", 0, l}); }
};

class SliderTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { GlobalResources::prepareGlobalRes(); }

    template <typename T>
    static void setUp(T& slider, RecordingDelegate* delegate = nullptr)
    {
        slider.resize(kWidth, kHeight);
        slider.setDelegate(delegate);
    }
    static QPoint toWidget(double x, double viewY) { return QPoint(int(x), int(kHeight - viewY)); }
};

// Mouse events with the left button held, sent straight to the widget.
void press(QWidget& w, QPoint p) { QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, p); }
void release(QWidget& w, QPoint p) { QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, p); }
void drag(QWidget& w, QPoint p)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(p), w.mapToGlobal(QPointF(p)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &move);
}

}  // namespace

TEST_F(SliderTest, StartsWithTheDocumentedValues)
{
    BaseSliderView base;
    ProgressSliderView progress;
    SplitSliderView split;
    EXPECT_EQ(base.dLength(), 1000.0);
    EXPECT_EQ(base.dMinValue(), 0.0);
    EXPECT_EQ(base.dCurValue(), 0.0);
    EXPECT_EQ(base.sliderXOffset(), 10.0);
    EXPECT_EQ(base.sliderYOffset(), 10.0);
    EXPECT_EQ(base.knobYOffset(), 7.0);
    EXPECT_EQ(base.delegate(), nullptr);
    EXPECT_FALSE(base.bDraggingKnob());

    struct Case { const BaseSliderView* slider; double start, length; };
    for (const Case& c : {Case{&base, 0, -1}, Case{&progress, 0, 0}, Case{&split, 0, 1000}}) {
        EXPECT_EQ(c.slider->itemSelection().dStart, c.start);
        EXPECT_EQ(c.slider->itemSelection().dLength, c.length);
    }
}

TEST_F(SliderTest, MapsXToValueAndBackWithClamping)
{
    struct Case { double minValue, x, value; };
    const Case cases[] = {
        {0, 10, 0}, {0, 210, 500}, {0, 5, 0}, {0, 415, 1000}, {0, 410, 1000}, {100, 210, 600}, {100, -50, 100},
    };
    for (const Case& c : cases) {
        BaseSliderView slider;
        setUp(slider);
        slider.setDMinValue(c.minValue);
        EXPECT_DOUBLE_EQ(slider.curProgressWithXValue(c.x), c.value) << "min " << c.minValue << " x " << c.x;
    }

    struct Back { double minValue, value, x; };
    const Back back[] = {{0, 500, 210}, {0, -20, 10}, {0, 2000, 410}, {100, 600, 210}, {100, 0, 10}};
    for (const Back& c : back) {
        BaseSliderView slider;
        setUp(slider);
        slider.setDMinValue(c.minValue);
        EXPECT_DOUBLE_EQ(slider.curXValueWithProgress(c.value), c.x) << "min " << c.minValue << " v " << c.value;
    }
}

TEST_F(SliderTest, AWiderMarginNarrowsTheBar)
{
    BaseSliderView slider;
    setUp(slider);
    slider.setSliderXOffset(15);  // the play bar's margin
    EXPECT_DOUBLE_EQ(slider.curProgressWithXValue(15), 0);
    EXPECT_DOUBLE_EQ(slider.curProgressWithXValue(210), 500);
    EXPECT_DOUBLE_EQ(slider.curProgressWithXValue(405), 1000);
}

TEST_F(SliderTest, BarAndKnobAreLaidOutFromTheBottomLeft)
{
    BaseSliderView slider;
    setUp(slider);
    slider.setDCurValue(500);
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    slider.draw(painter);
    painter.end();

    EXPECT_EQ(slider.rcSlider(), QRectF(10, 10, 400, 6));
    EXPECT_EQ(slider.rcKnob(), QRectF(204, 7, 12, 12));
    // The bar is 10 points above the widget's bottom edge, not below its top.
    EXPECT_GT(qAlpha(image.pixel(100, kHeight - 13)), 200);
    EXPECT_EQ(qAlpha(image.pixel(100, 13)), 0);
    // The knob's blue centre is on the cursor.
    const QRgb centre = image.pixel(210, kHeight - 13);
    EXPECT_GT(qBlue(centre), qRed(centre) + 100);
}

TEST_F(SliderTest, PressNearTheBarStartsACursorDrag)
{
    // The bar spans view y 10 to 16; a press within 5 points of it grabs the cursor.
    struct Case { double viewY; bool grabs; };
    const Case cases[] = {{13, true}, {6, true}, {4, false}, {20, true}, {22, false}};
    for (const Case& c : cases) {
        RecordingDelegate delegate;
        ProgressSliderView slider;
        setUp(slider, &delegate);
        press(slider, toWidget(210, c.viewY));
        EXPECT_EQ(slider.bDraggingKnob(), c.grabs) << "view y " << c.viewY;
        if (c.grabs) {
            EXPECT_DOUBLE_EQ(slider.dCurValue(), 500);
            ASSERT_EQ(delegate.calls, (std::vector<Call>{{"begin", 500}}));
        } else {
            EXPECT_EQ(slider.dCurValue(), 0);
            EXPECT_TRUE(delegate.calls.empty());
        }
        release(slider, toWidget(210, c.viewY));
    }
}

TEST_F(SliderTest, ProgressDragReportsAndShowsThePlayedPart)
{
    RecordingDelegate delegate;
    ProgressSliderView slider;
    setUp(slider, &delegate);
    press(slider, toWidget(110, 13));
    EXPECT_DOUBLE_EQ(slider.itemSelection().dLength, 250);
    drag(slider, toWidget(210, 30));  // once grabbed, the height no longer matters
    EXPECT_DOUBLE_EQ(slider.itemSelection().dLength, 500);
    drag(slider, toWidget(500, 30));
    release(slider, toWidget(310, 13));
    EXPECT_FALSE(slider.bDraggingKnob());
    EXPECT_FALSE(slider.bDraggingLeftClip());
    EXPECT_DOUBLE_EQ(slider.dCurValue(), 750);
    EXPECT_DOUBLE_EQ(slider.itemSelection().dStart, 0);
    EXPECT_DOUBLE_EQ(slider.itemSelection().dLength, 750);
    EXPECT_EQ(delegate.calls,
              (std::vector<Call>{{"begin", 250}, {"change", 500}, {"change", 1000}, {"end", 750}}));
}

TEST_F(SliderTest, DragsWithoutAGrabAreIgnored)
{
    RecordingDelegate delegate;
    TrimSliderView slider;
    setUp(slider, &delegate);
    press(slider, toWidget(210, 35));
    drag(slider, toWidget(300, 13));
    release(slider, toWidget(300, 13));
    EXPECT_EQ(slider.dCurValue(), 0);
    EXPECT_TRUE(delegate.calls.empty());
}

TEST_F(SliderTest, SettingTheCursorIsSilentButSeekingReports)
{
    RecordingDelegate delegate;
    ProgressSliderView slider;
    setUp(slider, &delegate);
    slider.setDCurValue(300);
    EXPECT_TRUE(delegate.calls.empty());
    EXPECT_DOUBLE_EQ(slider.itemSelection().dLength, 300);
    slider.seekToValue(420);
    EXPECT_EQ(delegate.calls, (std::vector<Call>{{"change", 420}}));
    EXPECT_DOUBLE_EQ(slider.itemSelection().dLength, 420);

    SplitSliderView split;
    setUp(split, &delegate);
    split.setDCurValue(10);
    EXPECT_DOUBLE_EQ(split.itemSelection().dLength, 1000);  // only the progress slider follows the cursor
}

TEST_F(SliderTest, ADisabledSliderIgnoresTheCursorButTheHandlesStillWork)
{
    RecordingDelegate delegate;
    ProgressSliderView progress;
    setUp(progress, &delegate);
    progress.setEnabled(false);
    press(progress, toWidget(210, 13));
    drag(progress, toWidget(300, 13));
    release(progress, toWidget(300, 13));
    progress.mouseDownAt(QPointF(210, 13));
    progress.mouseDraggedTo(QPointF(300, 13));
    progress.mouseUpAt(QPointF(300, 13));
    EXPECT_EQ(progress.dCurValue(), 0);
    EXPECT_TRUE(delegate.calls.empty());

    // Shown in a window, so that the events take the window system's road,
    // which is where Qt holds mouse input back from disabled widgets.
    QWidget window;
    window.resize(kWidth, kHeight);
    auto* splitView = new SplitSliderView(&window);
    SplitSliderView& split = *splitView;
    setUp(split, &delegate);
    split.selectionItem() = {100, 800};
    split.setEnabled(false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    press(split, toWidget(210, 13));  // on the bar: nothing
    EXPECT_FALSE(split.bDraggingKnob());
    press(split, toWidget(46, 24));  // on the left handle (x 42..50)
    EXPECT_TRUE(split.bDraggingLeftClip());
    drag(split, toWidget(106, 24));
    release(split, toWidget(106, 24));
    EXPECT_EQ(split.dCurValue(), 0);
    EXPECT_DOUBLE_EQ(split.itemSelection().dStart, 250);
    EXPECT_EQ(delegate.calls,
              (std::vector<Call>{{"clipBegin", 0, true}, {"clipDrag", 0, true}, {"clipEnd", 0, true}}));
}

TEST_F(SliderTest, HandlesStandOnTheBarAtTheSelectionEdges)
{
    SplitSliderView slider;
    setUp(slider);
    slider.selectionItem() = {100, 800};
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    slider.draw(painter);
    painter.end();
    EXPECT_EQ(slider.rcClipLeft(), QRectF(42, 16, 8, 16));
    EXPECT_EQ(slider.rcClipRight(), QRectF(370, 16, 8, 16));
    // Handle pixels above the bar; nothing drawn between the handles up there.
    EXPECT_GT(qAlpha(image.pixel(44, kHeight - 24)), 200);
    EXPECT_GT(qAlpha(image.pixel(375, kHeight - 24)), 200);
    EXPECT_EQ(qAlpha(image.pixel(210, kHeight - 28)), 0);
}

TEST_F(SliderTest, HandleRulesKeepTheSelectionAtLeastFiveLongAndInsideTheRange)
{
    // Selection 100..900 on a 1000-long range: handles at x 42..50 and 370..378.
    constexpr double kNoDrag = -1000;
    struct Case
    {
        const char* name;
        double start, length;
        double pressX;
        double dragX;  // kNoDrag: press and release only
        double wantStart, wantLength;
        bool left;
    };
    const Case cases[] = {
        {"left handle follows", 100, 800, 46, 106, 250, 650, true},
        {"left handle onto the right one", 100, 800, 46, 400, 895, 5, true},
        {"right handle follows", 100, 800, 372, 292, 100, 600, false},
        {"right handle left of the start", 100, 800, 372, 0, 100, 5, false},
        {"pressing a 2-long selection's left handle", 500, 2, 205, kNoDrag, 497, 5, true},
        {"pressing a 2-long selection's right handle", 500, 2, 212, kNoDrag, 500, 5, false},
        {"left handle near the range start", 0, 3, 7, kNoDrag, 0, 3, true},
        {"right handle near the range end", 998, 2, 412, kNoDrag, 998, 2, false},
        {"left handle past the range start", 100, 800, 46, -30, 0, 900, true},
        {"right handle past the range end", 100, 800, 372, 600, 100, 900, false},
    };
    for (const Case& c : cases) {
        RecordingDelegate delegate;
        SplitSliderView slider;
        setUp(slider, &delegate);
        slider.selectionItem() = {c.start, c.length};
        press(slider, toWidget(c.pressX, 24));
        EXPECT_EQ(slider.bDraggingLeftClip(), c.left) << c.name;
        EXPECT_EQ(slider.bDraggingRightClip(), !c.left) << c.name;
        EXPECT_FALSE(slider.bDraggingKnob()) << c.name;
        const double releaseX = c.dragX == kNoDrag ? c.pressX : c.dragX;
        if (c.dragX != kNoDrag)
            drag(slider, toWidget(c.dragX, 24));
        release(slider, toWidget(releaseX, 24));
        EXPECT_NEAR(slider.itemSelection().dStart, c.wantStart, 1e-9) << c.name;
        EXPECT_NEAR(slider.itemSelection().dLength, c.wantLength, 1e-9) << c.name;
        EXPECT_FALSE(slider.bDraggingLeftClip() || slider.bDraggingRightClip()) << c.name;
        ASSERT_FALSE(delegate.calls.empty()) << c.name;
        EXPECT_EQ(delegate.calls.front(), (Call{"clipBegin", 0, c.left})) << c.name;
        EXPECT_EQ(delegate.calls.back(), (Call{"clipEnd", 0, c.left})) << c.name;
    }
}

TEST_F(SliderTest, PressingAHandleLowDownAlsoGrabsTheCursorButTheHandleLeads)
{
    RecordingDelegate delegate;
    SplitSliderView slider;
    setUp(slider, &delegate);
    slider.selectionItem() = {100, 800};
    slider.setDCurValue(500);
    press(slider, toWidget(46, 18));  // inside the handle and within 5 of the bar
    EXPECT_TRUE(slider.bDraggingKnob());
    EXPECT_TRUE(slider.bDraggingLeftClip());
    EXPECT_NEAR(slider.dCurValue(), 90, 1e-9);
    drag(slider, toWidget(106, 18));
    EXPECT_NEAR(slider.dCurValue(), 90, 1e-9);  // the drag moved the handle only
    EXPECT_NEAR(slider.itemSelection().dStart, 250, 1e-9);
    release(slider, toWidget(106, 18));
    EXPECT_FALSE(slider.bDraggingKnob());
    EXPECT_EQ(delegate.calls, (std::vector<Call>{{"begin", 90},
                                                 {"clipBegin", 0, true},
                                                 {"clipDrag", 0, true},
                                                 {"end", 240},
                                                 {"clipEnd", 0, true}}));
}

TEST_F(SliderTest, SplitCursorDragMovesTheCursorOnly)
{
    RecordingDelegate delegate;
    SplitSliderView slider;
    setUp(slider, &delegate);
    slider.selectionItem() = {100, 800};
    press(slider, toWidget(210, 13));
    drag(slider, toWidget(250, 13));
    release(slider, toWidget(260, 13));
    EXPECT_DOUBLE_EQ(slider.dCurValue(), 625);
    EXPECT_DOUBLE_EQ(slider.itemSelection().dStart, 100);
    EXPECT_DOUBLE_EQ(slider.itemSelection().dLength, 800);
    EXPECT_EQ(delegate.calls, (std::vector<Call>{{"begin", 500}, {"change", 600}, {"end", 625}}));
}

TEST_F(SliderTest, CanBeSplitedOnlyWellInsideTheSelection)
{
    struct Case { double cursor; bool can; };
    const Case cases[] = {{12, false}, {12.5, true}, {50, true}, {87.5, true}, {88, false}, {5, false}, {95, false}};
    for (const Case& c : cases) {
        SplitSliderView slider;
        slider.selectionItem() = {10, 80};
        slider.setDCurValue(c.cursor);
        EXPECT_EQ(slider.canBeSplited(), c.can) << "cursor " << c.cursor;
    }
}

TEST_F(SliderTest, AnEmptySelectionIsNotDrawn)
{
    auto barPixel = [](double length) {
        QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        SplitSliderView split;
        split.resize(kWidth, kHeight);
        split.setDCurValue(900);
        split.selectionItem() = {0, length};
        split.draw(painter);
        painter.end();
        return image.pixel(100, kHeight - 13);
    };
    for (double length : {0.0, -1.0}) {
        const QRgb p = barPixel(length);
        EXPECT_LT(std::abs(qBlue(p) - qRed(p)), 20) << "length " << length;  // the grey bar
    }
    const QRgb selected = barPixel(500);
    EXPECT_GT(qBlue(selected), qRed(selected) + 100);
}

// Writes a picture of every slider in a light and a dark palette into
// $TRELVIO_SCREENSHOT_DIR, for a person to look at.
TEST_F(SliderTest, Screenshots)
{
    const QByteArray dir = qgetenv("TRELVIO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "TRELVIO_SCREENSHOT_DIR not set";
    for (bool dark : {false, true}) {
        QWidget host;
        QPalette palette;
        palette.setColor(QPalette::Window, dark ? QColor(40, 40, 43) : QColor(236, 236, 236));
        palette.setColor(QPalette::WindowText, dark ? QColor(230, 230, 230) : Qt::black);
        host.setPalette(palette);
        host.setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(&host);
        auto* progress = new ProgressSliderView;
        progress->setSliderXOffset(15);
        progress->setDLength(600);
        progress->setDCurValue(200);
        auto* trim = new TrimSliderView;
        trim->setDCurValue(0);
        auto* split = new SplitSliderView;
        split->selectionItem() = {150, 500};
        split->setDCurValue(400);
        auto* edges = new SplitSliderView;
        edges->selectionItem() = {0, 1000};
        edges->setDCurValue(1000);
        for (QWidget* w : {static_cast<QWidget*>(progress), static_cast<QWidget*>(trim),
                           static_cast<QWidget*>(split), static_cast<QWidget*>(edges)})
            layout->addWidget(w);
        host.resize(kWidth, 4 * kHeight + 30);
        host.show();
        const QString path = QDir(QString::fromLocal8Bit(dir)).filePath(dark ? "sliders-dark.png" : "sliders-light.png");
        EXPECT_TRUE(host.grab().save(path));
    }
}
