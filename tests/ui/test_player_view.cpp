// The player view, its action view and the player wrapper on the offscreen
// platform: picture layout (crop, padding, aspect, watermark), every
// reported action, and the wrapper's two modes.
#include "Media/LSMedia.h"
#include "RAZedIruvIvizor/ZKAVPlayer.h"
#include "RAZedIruvIvizor/ZKAVPlayerItem.h"
#include "Views/LSAVPlayerActionView.h"
#include "Views/LSMediaPlayer.h"
#include "Views/ZKAVPlayerView.h"
#include "support/TestMedia.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 15000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

LSMediaPtr loadedMedia(const QString& path)
{
    LSMediaPtr m = LSMedia::mediaWithPath(path);
    m->loadValuesSynchronously();
    return m;
}

// A player paused on its first picture.
std::unique_ptr<ZKAVPlayer> pausedPlayer(const QString& path)
{
    auto asset = std::make_shared<ZKAVURLAsset>();
    asset->filePath = path;
    asset->loadValuesSynchronously();
    auto player = ZKAVPlayer::playerWithPlayerItem(ZKAVPlayerItem::playerItemWithAsset(asset));
    player->pause();
    waitUntil([&] { return !player->isSeeking(); });
    return player;
}

QImage rendered(QWidget& view)
{
    QImage out(view.size(), QImage::Format_RGB32);
    out.fill(Qt::green);
    view.render(&out);
    return out;
}

class PlayerViewTest : public ::testing::Test
{
protected:
    void SetUp() override { ZKAVPlayer::setAudioOutputEnabled(false); }
    void TearDown() override { ZKAVPlayer::setAudioOutputEnabled(true); }
};

TEST_F(PlayerViewTest, PictureKeepsTheDisplayShapeInsideThePaddingAndShowsOnlyTheCrop)
{
    // 720x576 stored pixels shown at 16:9.
    auto player = pausedPlayer(TestMedia::anamorphic());
    ASSERT_FALSE(player->curDisplayingImage().isNull());
    ZKAVPlayerView view(QRect(0, 0, 640, 480));
    view.setZkPlayer(player.get());
    struct Case
    {
        QRectF crop;  // bottom-left origin
        QSizeF padding;
        QRectF source;  // top-left origin
        QRectF target;
    };
    const std::vector<Case> cases{
        {QRectF(), QSizeF(0, 0), QRectF(0, 0, 720, 576), QRectF(0, 60, 640, 360)},
        {QRectF(), QSizeF(7, 7), QRectF(0, 0, 720, 576), QRectF(7, 63.9375, 626, 352.125)},
        // The lower-left quarter: 360x288 pixels shown 512x288, i.e. 16:9.
        {QRectF(0, 0, 360, 288), QSizeF(0, 0), QRectF(0, 288, 360, 288), QRectF(0, 60, 640, 360)},
        // A tall strip: 90x576 pixels, 128x576 on screen.
        {QRectF(630, 0, 90, 576), QSizeF(0, 0), QRectF(630, 0, 90, 576), QRectF(266.666, 0, 106.666, 480)},
        // A crop reaching outside the frame keeps only what lies inside.
        {QRectF(700, 500, 100, 100), QSizeF(0, 0), QRectF(700, 0, 20, 76), QRectF()},
    };
    for (const Case& c : cases) {
        view.setCropRect(c.crop);
        view.setXyPadding(c.padding.width(), c.padding.height());
        EXPECT_EQ(view.sourceRect(), c.source) << c.crop.x() << "," << c.crop.y();
        if (!c.target.isNull()) {
            const QRectF t = view.pictureRect();
            EXPECT_NEAR(t.x(), c.target.x(), 0.01);
            EXPECT_NEAR(t.width(), c.target.width(), 0.01);
            EXPECT_NEAR(t.height(), c.target.height(), 0.01);
            EXPECT_NEAR(t.center().y(), 240, 0.01);
        }
    }
    // What is drawn: black bands around the picture, none of the background.
    view.setCropRect(QRectF());
    view.setXyPadding(0, 0);
    const QImage shot = rendered(view);
    EXPECT_EQ(shot.pixelColor(320, 20), QColor(Qt::black));
    EXPECT_NE(shot.pixelColor(320, 240), QColor(Qt::green));
}

TEST_F(PlayerViewTest, TheWatermarkCoversTheFrameAndIsCutLikeThePicture)
{
    auto player = pausedPlayer(TestMedia::counterClip());  // 320x240
    ZKAVPlayerView view(QRect(0, 0, 320, 240));
    view.setZkPlayer(player.get());
    // Opaque red over the frame's left half, clear elsewhere, at half size.
    QImage mark(160, 120, QImage::Format_ARGB32_Premultiplied);
    mark.fill(Qt::transparent);
    QPainter(&mark).fillRect(0, 0, 80, 120, Qt::red);
    view.setWaterMarkImage(mark);
    EXPECT_EQ(view.waterMarkImage().size(), mark.size());
    QImage shot = rendered(view);
    EXPECT_EQ(shot.pixelColor(40, 120), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(280, 120), QColor(Qt::red));

    // Cropped to the right half, the red is gone; cropped to the left
    // half, it fills the view.
    view.setCropRect(QRectF(160, 0, 160, 240));
    shot = rendered(view);
    EXPECT_NE(shot.pixelColor(160, 120), QColor(Qt::red));
    view.setCropRect(QRectF(0, 0, 160, 240));
    shot = rendered(view);
    EXPECT_EQ(shot.pixelColor(100, 120), QColor(Qt::red));
}

TEST_F(PlayerViewTest, SoundShowsItsCoverOrAMusicPictureAndNoPlayerShowsBlack)
{
    ZKAVPlayerView view(QRect(0, 0, 200, 150));
    EXPECT_EQ(rendered(view).pixelColor(100, 75), QColor(Qt::black));

    auto plain = pausedPlayer(TestMedia::audioOnly());
    view.setZkPlayer(plain.get());
    const QImage music = rendered(view);
    int lit = 0;
    for (int y = 0; y < music.height(); ++y)
        for (int x = 0; x < music.width(); ++x)
            lit += music.pixelColor(x, y) != QColor(Qt::black);
    EXPECT_GT(lit, 100);
    EXPECT_TRUE(view.pictureRect().isEmpty());

    auto covered = pausedPlayer(TestMedia::audioWithCover());
    view.setZkPlayer(covered.get());
    // A square cover, fitted by its own shape, never cropped.
    view.setCropRect(QRectF(0, 0, 10, 10));
    EXPECT_EQ(view.sourceRect(), QRectF(0, 0, 200, 200));
    EXPECT_EQ(view.pictureRect(), QRectF(25, 0, 150, 150));

    covered.reset();  // the view forgets a player that goes away
    EXPECT_EQ(view.zkPlayer(), nullptr);
    EXPECT_EQ(rendered(view).pixelColor(100, 75), QColor(Qt::black));
}

// Records every action in order.
class Recorder : public QObject, public P_ZKPlayerViewAction
{
public:
    void mouseDownOnPlayerView(LSAVPlayerActionView*, QMouseEvent*) override { log.push_back("down"); }
    void mouseDoubleClickedOnPlayerView() override { log.push_back("double"); }
    void mouseMovedOnPlayerView(LSAVPlayerActionView*, QMouseEvent*) override { log.push_back("moved"); }
    void mouseDraggedOnPlayerView(LSAVPlayerActionView*, QMouseEvent*) override { log.push_back("dragged"); }
    void mouseUpOnPlayerView(LSAVPlayerActionView*, QMouseEvent*) override { log.push_back("up"); }
    void mouseEnteredPlayerView(LSAVPlayerActionView*, QEvent*) override { log.push_back("entered"); }
    void mouseExitedPlayerView(LSAVPlayerActionView*, QEvent*) override { log.push_back("exited"); }
    void mouseEnterCtlPlayerView(LSAVPlayerActionView*, QEvent*) override { log.push_back("enterCtl"); }
    void spaceKeyDown() override { log.push_back("space"); }
    void escKeyDown() override { log.push_back("esc"); }
    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(log);
        return out;
    }
    std::vector<std::string> log;
};

// A delegate that implements only what the main window implements.
class PartialDelegate : public P_ZKPlayerViewAction
{
public:
    void spaceKeyDown() override { ++spaces; }
    int spaces = 0;
};

class ActionViewTest : public PlayerViewTest
{
protected:
    void SetUp() override
    {
        PlayerViewTest::SetUp();
        view = std::make_unique<LSAVPlayerActionView>(QRect(0, 0, 400, 300));
        view->setActionDelegate(&recorder);
        view->show();
        view->activateWindow();
        QApplication::setActiveWindow(view.get());
        waitUntil([] { return QGuiApplication::applicationState() == Qt::ApplicationActive; }, 2000);
        recorder.take();  // whatever showing the window under the pointer told
    }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, at, view->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &e);
    }
    bool key(int code, bool autoRepeat = false)
    {
        QKeyEvent e(QEvent::KeyPress, code, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(view.get(), &e);
        return e.isAccepted();
    }

    Recorder recorder;
    std::unique_ptr<LSAVPlayerActionView> view;
};

TEST_F(ActionViewTest, MouseActionsReachTheDelegate)
{
    ASSERT_EQ(QGuiApplication::applicationState(), Qt::ApplicationActive);
    mouse(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, {20, 10}, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {20, 10}, Qt::LeftButton, Qt::NoButton);
    mouse(QEvent::MouseButtonDblClick, {20, 10}, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {20, 10}, Qt::LeftButton, Qt::NoButton);
    mouse(QEvent::MouseMove, {30, 30}, Qt::NoButton, Qt::NoButton);
    QEnterEvent enter({5, 5}, {5, 5}, view->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(view.get(), &enter);
    EXPECT_EQ(recorder.take(),
              (std::vector<std::string>{"down", "dragged", "up", "double", "up", "moved", "entered"}));
}

TEST_F(ActionViewTest, LeavingOntoSomethingOverTheViewIsToldApart)
{
    struct Case
    {
        QPointF at;  // top-left origin, the view is 400 x 300
        const char* reported;
    };
    const std::vector<Case> cases{
        {{1, 150}, "exited"},         // at the left edge
        {{200, 299}, "exited"},       // at the bottom edge (1 from the bottom)
        {{200, 150}, "enterCtl"},     // inside: onto a control lying over the view
        {{2, 297.5}, "enterCtl"},     // just clear of both edges
        {{399.5, 150}, "exited"},     // at the right edge
        {{200, 0.5}, "exited"},       // at the top edge
        {{-30, 150}, "exited"},       // outside
    };
    for (const Case& c : cases) {
        QEvent leave(QEvent::Leave);
        view->pointerLeft(c.at, &leave);
        EXPECT_EQ(recorder.take(), std::vector<std::string>{c.reported}) << c.at.x() << "," << c.at.y();
    }
    // A real leave event reads the pointer's position.
    QCursor::setPos(view->mapToGlobal(QPoint(200, 150)));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view.get(), &leave);
    EXPECT_EQ(recorder.take(), std::vector<std::string>{"enterCtl"});
}

TEST_F(ActionViewTest, SpaceAndEscAreAlwaysHandledOtherKeysGoOn)
{
    EXPECT_TRUE(key(Qt::Key_Space));
    EXPECT_TRUE(key(Qt::Key_Escape));
    EXPECT_FALSE(key(Qt::Key_A));
    EXPECT_FALSE(key(Qt::Key_Return));
    EXPECT_TRUE(key(Qt::Key_Space, true));  // a held key: handled, told once
    EXPECT_EQ(recorder.take(), (std::vector<std::string>{"space", "esc"}));

    QKeyEvent shortcut(QEvent::ShortcutOverride, Qt::Key_Space, Qt::NoModifier);
    shortcut.ignore();
    QApplication::sendEvent(view.get(), &shortcut);
    EXPECT_TRUE(shortcut.isAccepted());

    view->setActionDelegate(nullptr);
    EXPECT_TRUE(key(Qt::Key_Space));
    EXPECT_TRUE(key(Qt::Key_Escape));
    EXPECT_FALSE(key(Qt::Key_A));

    PartialDelegate partial;
    view->setActionDelegate(&partial);
    EXPECT_TRUE(key(Qt::Key_Space));
    EXPECT_TRUE(key(Qt::Key_Escape));
    mouse(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(partial.spaces, 1);
    EXPECT_TRUE(view->focusPolicy() & Qt::TabFocus);
    EXPECT_TRUE(view->focusPolicy() & Qt::ClickFocus);
}

TEST_F(ActionViewTest, TrackingFollowsTheBoundsAndADeadDelegateIsForgotten)
{
    EXPECT_EQ(view->trackArea(), view->rect());
    view->resize(500, 200);
    EXPECT_EQ(view->trackArea(), QRect(0, 0, 500, 200));
    for (int i = 0; i < 3; ++i)
        view->updateTrackingAreas();
    EXPECT_EQ(view->trackArea(), QRect(0, 0, 500, 200));

    QWidget overlay;
    view->addResizingSubview(&overlay);
    EXPECT_EQ(overlay.parentWidget(), view.get());
    view->resize(320, 180);
    EXPECT_EQ(overlay.geometry(), QRect(0, 0, 320, 180));
    overlay.setParent(nullptr);

    auto gone = std::make_unique<Recorder>();
    view->setActionDelegate(gone.get());
    EXPECT_EQ(view->actionDelegate(), gone.get());
    gone.reset();
    EXPECT_EQ(view->actionDelegate(), nullptr);
    mouse(QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);  // nothing to tell
}

// Records what the wrapper asks of the crop overlay.
class FakeCropView : public QWidget, public P_ZKCropVideoView
{
public:
    FakeCropView(QWidget* parent, QSizeF size, ZKAVRational ratio)
        : QWidget(parent)
        , videoSize(size)
        , ratio(ratio)
    {
    }
    QWidget* cropWidget() override { return this; }
    void setPlayerMode(int32_t mode) override { calls.push_back("mode " + std::to_string(mode)); }
    void setCropMode(int32_t type) override { calls.push_back("crop " + std::to_string(type)); }
    void setCropModeNoFit(int32_t type) override { calls.push_back("nofit " + std::to_string(type)); }
    void setCropRect(const QRectF& r) override
    {
        rect = r;
        calls.push_back("rect");
    }
    void setCropDelegate(PlayerViewCropDelegate*) override { calls.push_back("delegate"); }

    QSizeF videoSize;
    ZKAVRational ratio;
    QRectF rect;
    std::vector<std::string> calls;
};

class MediaPlayerTest : public PlayerViewTest
{
protected:
    void SetUp() override
    {
        PlayerViewTest::SetUp();
        LSMediaPlayer::setCropViewFactory(
            [this](QWidget* parent, const QRect& frame, const QSizeF& size, ZKAVRational ratio) {
                ++made;
                auto* v = new FakeCropView(parent, size, ratio);
                v->setGeometry(frame);
                last = v;
                return v;
            });
    }
    void TearDown() override
    {
        LSMediaPlayer::setCropViewFactory({});
        PlayerViewTest::TearDown();
    }

    int made = 0;
    QPointer<FakeCropView> last;
};

TEST_F(MediaPlayerTest, BeforeAnyItemThereIsNothingToShow)
{
    LSMediaPlayer wrapper;
    EXPECT_EQ(wrapper.playerMode(), 0);
    EXPECT_EQ(wrapper.player(), nullptr);
    EXPECT_TRUE(wrapper.curDisplayingImage().isNull());
    EXPECT_TRUE(wrapper.curDisplayingImageData().isEmpty());
    EXPECT_EQ(wrapper.playbackState(), 0);
    EXPECT_FALSE(wrapper.playbackFinished());
    wrapper.play();
    wrapper.seekto(3);
    wrapper.stopPlayer();
    EXPECT_EQ(wrapper.playerView()->geometry(), QRect(0, 0, 640, 480));
    EXPECT_EQ(wrapper.playerView(), wrapper.playerView());
}

TEST_F(MediaPlayerTest, PreviewShowsOnlyTheCroppedPartWithTheWatermark)
{
    LSMediaPlayer wrapper;
    LSMediaPtr m = loadedMedia(TestMedia::counterClip());  // 320x240
    m->rcCroped = QRectF(10, 20, 100, 50);                   // top-left origin
    m->eumCropType = CropTypeFree;
    m->resultWaterMarkImg = QImage(320, 240, QImage::Format_ARGB32_Premultiplied);
    wrapper.flushPlayerWithMedia(m);
    EXPECT_EQ(wrapper.curMedia(), m);
    EXPECT_EQ(wrapper.playbackState(), 1);  // plays by itself
    EXPECT_DOUBLE_EQ(wrapper.player()->volume(), 128.0);
    EXPECT_EQ(wrapper.cropView(), nullptr);
    EXPECT_EQ(made, 0);
    LSAVPlayerActionView* view = wrapper.playerView();
    EXPECT_EQ(view->zkPlayer(), wrapper.player());
    EXPECT_EQ(view->cropRect(), QRectF(10, 240 - 20 - 50, 100, 50));
    EXPECT_EQ(view->xyPadding(), QSizeF(0, 0));
    EXPECT_EQ(view->waterMarkImage().size(), QSize(320, 240));
    EXPECT_EQ(m->eumCropType, CropTypeFree);

    ASSERT_TRUE(waitUntil([&] { return !wrapper.curDisplayingImage().isNull(); }));
    EXPECT_EQ(view->sourceRect(), QRectF(10, 20, 100, 50));
    const QByteArray jpeg = wrapper.curDisplayingImageData();
    ASSERT_GE(jpeg.size(), 2);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[1]), 0xD8);

    wrapper.pause();
    EXPECT_EQ(wrapper.playbackState(), 2);
    wrapper.seekto(1.0);
    EXPECT_DOUBLE_EQ(wrapper.currentPlaybackTime(), 1.0);
    wrapper.togglePlayPause();
    EXPECT_EQ(wrapper.playbackState(), 1);
    wrapper.setVolume(20);
    EXPECT_DOUBLE_EQ(wrapper.player()->volume(), 20.0);
    wrapper.setPlaybackEndTime(1.2);
    ASSERT_TRUE(waitUntil([&] { return wrapper.playbackFinished(); }));
    EXPECT_EQ(wrapper.playbackState(), 3);
    EXPECT_DOUBLE_EQ(wrapper.currentPlaybackTime(), 1.2);
    wrapper.stopPlayer();
    EXPECT_EQ(wrapper.playbackState(), 3);
    EXPECT_FALSE(wrapper.playbackFinished());
}

TEST_F(MediaPlayerTest, CropModeShowsTheWholeFrameInsetWithTheOverlayOverIt)
{
    LSMediaPlayer wrapper;
    wrapper.setPlayerMode(1);
    LSMediaPtr m = loadedMedia(TestMedia::anamorphic());  // 720x576 at 16:9
    m->rcCroped = QRectF(0, 0, 360, 288);
    m->eumCropType = CropType4x3;
    wrapper.flushPlayerWithMedia(m);
    ASSERT_EQ(made, 1);
    ASSERT_TRUE(last);
    EXPECT_EQ(wrapper.cropView(), last.data());
    EXPECT_EQ(last->parentWidget(), wrapper.playerView());
    EXPECT_EQ(last->geometry(), wrapper.playerView()->rect());
    EXPECT_EQ(last->videoSize, QSizeF(720, 576));
    EXPECT_EQ(last->ratio, (ZKAVRational{16, 9}));
    EXPECT_EQ(last->calls, (std::vector<std::string>{"mode 1", "rect", "nofit 1"}));
    EXPECT_EQ(last->rect, QRectF(0, 576 - 288, 360, 288));
    EXPECT_EQ(wrapper.playerView()->cropRect(), QRectF());
    EXPECT_EQ(wrapper.playerView()->xyPadding(), QSizeF(7, 7));
    wrapper.playerView()->show();
    wrapper.playerView()->resize(800, 450);
    EXPECT_EQ(last->geometry(), QRect(0, 0, 800, 450));

    // Calls for the overlay go through; the crop type lands in the item.
    last->calls.clear();
    wrapper.setCropMode(CropType16x9);
    wrapper.setCropModeNoFit(CropTypeFree);
    wrapper.setCropRect(QRectF(1, 2, 3, 4));
    wrapper.setCropDelegate(nullptr);
    EXPECT_EQ(last->calls, (std::vector<std::string>{"crop 2", "nofit 3", "rect", "delegate"}));
    EXPECT_EQ(m->eumCropType, CropTypeFree);

    // An item without a crop: the overlay and the item go to no crop. The
    // same overlay serves every later item.
    LSMediaPtr plain = loadedMedia(TestMedia::counterClip());
    plain->eumCropType = CropType16x9;  // stale: the zero rectangle wins
    last->calls.clear();
    wrapper.flushPlayerWithMedia(plain);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(last->calls, (std::vector<std::string>{"mode 1", "rect", "crop 0"}));
    EXPECT_EQ(last->rect, QRectF());
    EXPECT_EQ(plain->eumCropType, CropTypeNone);

    // Back to preview: the overlay goes away and the crop shows directly.
    wrapper.setPlayerMode(0);
    EXPECT_EQ(wrapper.playerView()->xyPadding(), QSizeF(0, 0));
    wrapper.flushPlayerWithMedia(m);
    EXPECT_EQ(wrapper.cropView(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(last);
    EXPECT_EQ(wrapper.playerView()->cropRect(), QRectF(0, 288, 360, 288));
}

TEST_F(MediaPlayerTest, SoundOnlyItemsPlayWithoutCropOrWatermark)
{
    LSMediaPlayer wrapper;
    wrapper.setPlayerMode(1);
    LSMediaPtr video = loadedMedia(TestMedia::counterClip());
    video->rcCroped = QRectF(0, 0, 100, 100);
    video->resultWaterMarkImg = QImage(320, 240, QImage::Format_ARGB32_Premultiplied);
    wrapper.flushPlayerWithMedia(video);
    ASSERT_NE(wrapper.cropView(), nullptr);

    LSMediaPtr sound = loadedMedia(TestMedia::audioOnly());
    ASSERT_EQ(sound->mediaType, 1);
    wrapper.flushPlayerWithMedia(sound);
    EXPECT_EQ(wrapper.cropView(), nullptr);
    EXPECT_EQ(wrapper.playerView()->cropRect(), QRectF());
    EXPECT_TRUE(wrapper.playerView()->waterMarkImage().isNull());
    EXPECT_EQ(wrapper.playbackState(), 1);
    ASSERT_TRUE(waitUntil([&] { return wrapper.currentPlaybackTime() > 0.1; }));
    EXPECT_TRUE(wrapper.curDisplayingImage().isNull());
    EXPECT_TRUE(wrapper.curDisplayingImageData().isEmpty());
}

TEST_F(MediaPlayerTest, TheWrapperTakesItsViewAlongWhenItGoes)
{
    QWidget box;
    Recorder delegate;
    QPointer<LSAVPlayerActionView> view;
    {
        LSMediaPlayer wrapper;
        wrapper.flushPlayerWithMedia(loadedMedia(TestMedia::counterClip()));
        wrapper.setActionDelegate(&delegate);
        view = wrapper.playerView();
        view->setParent(&box);
        EXPECT_EQ(view->actionDelegate(), &delegate);
    }
    ASSERT_TRUE(view);
    EXPECT_EQ(view->parentWidget(), nullptr);
    EXPECT_EQ(view->actionDelegate(), nullptr);
    EXPECT_EQ(view->zkPlayer(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(view);
}

}  // namespace
