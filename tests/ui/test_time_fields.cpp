// The hours-minutes-seconds field and the plain time display: showing,
// reading, and the editing protocol with its reject alert, driven with
// key and mouse events in a shown window.
#include "Settings/GlobalResources.h"
#include "Views/GXTimeEditView.h"
#include "Views/TimeEditView.h"

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Alert
{
    QString title, message, button;
};

// Accepts values up to `maxValid` seconds and records what it was asked.
class FieldDelegate : public GXTimeEditViewDelegate
{
public:
    double maxValid = 1e9;
    std::vector<double> asked;
    std::vector<double> changed;
    bool GXTimeEditViewIsValid(GXTimeEditView*, double seconds) override
    {
        asked.push_back(seconds);
        return seconds <= maxValid;
    }
    void GXTimeEditViewDidChangeValue(GXTimeEditView*, double seconds) override { changed.push_back(seconds); }
};

std::vector<QString> texts(const GXTimeEditView& view)
{
    return {view.lblHour()->text(), view.lblMinite()->text(), view.lblSecond()->text()};
}

class TimeFieldTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = GXTimeEditView::setAlertHandler(
            [this](QWidget*, const QString& title, const QString& message, const QString& button) {
                alerts.push_back({title, message, button});
            });
    }
    void TearDown() override { GXTimeEditView::setAlertHandler(m_previous); }

    std::vector<Alert> alerts;

private:
    GXTimeEditView::AlertHandler m_previous;
};

// A window with a time field and a button to click away to.
struct Window
{
    QWidget window;
    GXTimeEditView* field = new GXTimeEditView;
    QLineEdit* other = new QLineEdit;
    Window()
    {
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(field);
        layout->addWidget(other);
        field->setFixedSize(130, 24);
        window.show();
        window.activateWindow();
    }
    bool ready() { return QTest::qWaitForWindowActive(&window); }
};

void typeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

enum class Leave { Tab, Return, Click };

void leave(Window& w, QLineEdit* edit, Leave how)
{
    switch (how) {
    case Leave::Tab:
        QTest::keyClick(edit, Qt::Key_Tab);
        break;
    case Leave::Return:
        QTest::keyClick(edit, Qt::Key_Return);
        break;
    case Leave::Click:
        QTest::mouseClick(w.other, Qt::LeftButton);
        break;
    }
    settle();
}

const char* name(Leave how)
{
    return how == Leave::Tab ? "tab" : how == Leave::Return ? "return" : "click";
}

}  // namespace

TEST_F(TimeFieldTest, ShowsWholeSecondsAsTwoDigitParts)
{
    struct Case { double seconds; const char *h, *m, *s; };
    const Case cases[] = {
        {3725.9, "01", "02", "05"}, {0, "00", "00", "00"}, {59.99, "00", "00", "59"},
        {3600, "01", "00", "00"}, {360000, "100", "00", "00"},
    };
    for (const Case& c : cases) {
        GXTimeEditView view;
        view.flushWithSeconds(c.seconds);
        EXPECT_EQ(texts(view), (std::vector<QString>{c.h, c.m, c.s})) << c.seconds;
        EXPECT_FALSE(view.bTextChanged());
    }
}

TEST_F(TimeFieldTest, ReadsEachPartAsTyped)
{
    struct Case { const char *h, *m, *s; double seconds; };
    const Case cases[] = {
        {"1", "75", "0", 8100}, {"0", "1.5", "0", 90}, {" 2abc", "", "x", 7200},
        {"", "", "", 0}, {"00", "02", "05", 125}, {"-1", "0", "0", -3600}, {".5", "0", "0", 1800},
    };
    for (const Case& c : cases) {
        GXTimeEditView view;
        view.lblHour()->setText(c.h);
        view.lblMinite()->setText(c.m);
        view.lblSecond()->setText(c.s);
        EXPECT_DOUBLE_EQ(view.secondsValue(), c.seconds) << c.h << "|" << c.m << "|" << c.s;
    }
}

TEST_F(TimeFieldTest, LaysOutThreeFieldsWithGaps)
{
    GXTimeEditView view;
    view.resize(130, 24);
    view.show();  // a hidden widget hears of its new size only when shown
    EXPECT_EQ(view.lblHour()->geometry(), QRect(10, 2, 30, 20));
    EXPECT_EQ(view.lblMinite()->geometry(), QRect(50, 2, 30, 20));
    EXPECT_EQ(view.lblSecond()->geometry(), QRect(90, 2, 30, 20));
    EXPECT_EQ(view.lblHour()->alignment(), Qt::AlignCenter);
    EXPECT_FALSE(view.lblHour()->hasFrame());
}

TEST_F(TimeFieldTest, EditableMeansTypingFocusAndBackground)
{
    GXTimeEditView view;
    for (bool editable : {false, true}) {
        view.setEditable(editable);
        for (QLineEdit* f : {view.lblHour(), view.lblMinite(), view.lblSecond()}) {
            EXPECT_EQ(f->isReadOnly(), !editable);
            EXPECT_EQ(f->autoFillBackground(), editable);
            EXPECT_EQ(f->focusPolicy() != Qt::NoFocus, editable);
        }
    }
}

TEST_F(TimeFieldTest, AcceptedTypingIsReportedWhenTheFieldIsLeft)
{
    for (Leave how : {Leave::Tab, Leave::Return, Leave::Click}) {
        Window w;
        ASSERT_TRUE(w.ready());
        FieldDelegate delegate;
        w.field->setDelegate(&delegate);
        w.field->flushWithSeconds(30);
        typeInto(w.field->lblMinite(), "2");
        EXPECT_TRUE(w.field->bTextChanged()) << name(how);
        EXPECT_DOUBLE_EQ(w.field->lastEnterValue(), 30) << name(how);
        leave(w, w.field->lblMinite(), how);
        EXPECT_EQ(delegate.asked, std::vector<double>{150}) << name(how);
        EXPECT_EQ(delegate.changed, std::vector<double>{150}) << name(how);
        EXPECT_FALSE(w.field->bTextChanged()) << name(how);
        EXPECT_TRUE(alerts.empty()) << name(how);
        if (how == Leave::Return)
            EXPECT_TRUE(w.field->lblMinite()->hasFocus());
        else if (how == Leave::Tab)
            EXPECT_TRUE(w.field->lblSecond()->hasFocus());
        else
            EXPECT_TRUE(w.other->hasFocus());
    }
}

TEST_F(TimeFieldTest, RejectedTypingAlertsRestoresAndKeepsTheFocus)
{
    for (Leave how : {Leave::Tab, Leave::Return, Leave::Click}) {
        alerts.clear();
        Window w;
        ASSERT_TRUE(w.ready());
        FieldDelegate delegate;
        delegate.maxValid = 60;
        w.field->setDelegate(&delegate);
        w.field->flushWithSeconds(30);
        typeInto(w.field->lblMinite(), "2");
        leave(w, w.field->lblMinite(), how);
        ASSERT_EQ(alerts.size(), 1u) << name(how);
        EXPECT_EQ(alerts[0].title, GXTimeEditView::wrongTimeInputTitle());
        EXPECT_FALSE(alerts[0].title.isEmpty());
        EXPECT_TRUE(alerts[0].message.isEmpty());
        EXPECT_EQ(alerts[0].button, QStringLiteral("OK"));
        EXPECT_EQ(delegate.asked, std::vector<double>{150}) << name(how);
        EXPECT_TRUE(delegate.changed.empty()) << name(how);
        EXPECT_EQ(texts(*w.field), (std::vector<QString>{"00", "00", "30"})) << name(how);
        EXPECT_DOUBLE_EQ(w.field->secondsValue(), 30);
        EXPECT_TRUE(w.field->lblMinite()->hasFocus()) << name(how);

        // The restored value can be left without another question.
        QTest::keyClick(w.field->lblMinite(), Qt::Key_Tab);
        settle();
        EXPECT_EQ(alerts.size(), 1u) << name(how);
        EXPECT_TRUE(w.field->lblSecond()->hasFocus()) << name(how);
        EXPECT_TRUE(delegate.changed.empty()) << name(how);
    }
}

TEST_F(TimeFieldTest, LeavingWithoutTypingAsksNothing)
{
    Window w;
    ASSERT_TRUE(w.ready());
    FieldDelegate delegate;
    delegate.maxValid = -1;  // would reject everything
    w.field->setDelegate(&delegate);
    w.field->flushWithSeconds(30);
    w.field->lblHour()->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(w.field->lblHour(), Qt::Key_Tab);
    QTest::mouseClick(w.other, Qt::LeftButton);
    settle();
    EXPECT_TRUE(delegate.asked.empty());
    EXPECT_TRUE(delegate.changed.empty());
    EXPECT_TRUE(alerts.empty());
    EXPECT_TRUE(w.other->hasFocus());
}

TEST_F(TimeFieldTest, AValueShownDuringAnEditIsTheOneARejectRestores)
{
    Window w;
    ASSERT_TRUE(w.ready());
    FieldDelegate delegate;
    delegate.maxValid = 100;
    w.field->setDelegate(&delegate);
    w.field->flushWithSeconds(10);
    w.field->lblSecond()->setFocus(Qt::MouseFocusReason);
    w.field->flushWithSeconds(42);  // the host moved on while the field had the focus
    typeInto(w.field->lblSecond(), "500");
    leave(w, w.field->lblSecond(), Leave::Tab);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_DOUBLE_EQ(w.field->secondsValue(), 42);
}

TEST_F(TimeFieldTest, AFieldWithoutADelegateTakesAnything)
{
    Window w;
    ASSERT_TRUE(w.ready());
    typeInto(w.field->lblHour(), "7");
    leave(w, w.field->lblHour(), Leave::Tab);
    EXPECT_TRUE(alerts.empty());
    EXPECT_DOUBLE_EQ(w.field->secondsValue(), 7 * 3600);
}

TEST_F(TimeFieldTest, PlainDisplayRedrawsWithTheNewTime)
{
    TimeEditView view;
    view.resize(view.sizeHint());
    view.setEditable(true);  // a no-op
    const QImage zero = view.grab().toImage();
    view.setDCurTime(3725);
    EXPECT_EQ(view.dCurTime(), 3725);
    EXPECT_NE(view.grab().toImage(), zero);
}

TEST_F(TimeFieldTest, Screenshots)
{
    const QByteArray dir = qgetenv("TRELVIO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "TRELVIO_SCREENSHOT_DIR not set";
    for (bool dark : {false, true}) {
        QWidget host;
        QPalette palette = host.palette();
        palette.setColor(QPalette::Window, dark ? QColor(40, 40, 43) : QColor(236, 236, 236));
        palette.setColor(QPalette::WindowText, dark ? QColor(230, 230, 230) : Qt::black);
        palette.setColor(QPalette::Base, dark ? QColor(28, 28, 30) : Qt::white);
        palette.setColor(QPalette::Text, dark ? QColor(230, 230, 230) : Qt::black);
        host.setPalette(palette);
        host.setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(&host);
        auto* editable = new GXTimeEditView;
        editable->setFixedSize(110, 24);
        editable->flushWithSeconds(3725.9);
        auto* readOnly = new GXTimeEditView;
        readOnly->setFixedSize(110, 24);
        readOnly->setEditable(false);
        readOnly->flushWithSeconds(59);
        auto* plain = new TimeEditView;
        plain->setFixedSize(plain->sizeHint());
        plain->setDCurTime(3725);
        layout->addWidget(editable);
        layout->addWidget(readOnly);
        layout->addWidget(plain);
        host.resize(160, 110);
        host.show();
        const QString path = QDir(QString::fromLocal8Bit(dir)).filePath(dark ? "time-dark.png" : "time-light.png");
        EXPECT_TRUE(host.grab().save(path));
    }
}

TEST(TimeFieldMessageBox, TheDefaultAlertIsAModalBoxAndAClickedButtonStillWorks)
{
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* field = new GXTimeEditView;
    auto* button = new QPushButton(QStringLiteral("Done"));
    layout->addWidget(field);
    layout->addWidget(button);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    FieldDelegate delegate;
    delegate.maxValid = 60;
    field->setDelegate(&delegate);
    field->flushWithSeconds(30);
    typeInto(field->lblMinite(), "5");

    QString seenTitle;
    QStringList seenButtons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenTitle = box->text();
        for (QAbstractButton* b : box->buttons())
            seenButtons << b->text();
        box->accept();
    });
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
    settle();
    EXPECT_EQ(seenTitle, GXTimeEditView::wrongTimeInputTitle());
    EXPECT_EQ(seenButtons, QStringList{QStringLiteral("OK")});
    EXPECT_DOUBLE_EQ(field->secondsValue(), 30);
    // The offscreen platform leaves no window active after a modal box;
    // a desktop gives the activation back, and the focus returns with it.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(field->lblMinite()->hasFocus());
    EXPECT_FALSE(button->isDown());
    EXPECT_EQ(clicks, 1);
}
