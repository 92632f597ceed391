#include "Online/HIMSliderView.h"

#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>

namespace {
constexpr int kTransitionMs = 600;
constexpr int kDotSize = 8;
constexpr int kDotGap = 8;
} // namespace

// Page dots over the slides; clicks go through to the carousel.
class HIMSliderView::Dots : public QWidget {
public:
    explicit Dots(HIMSliderView* owner)
        : QWidget(owner)
        , m_owner(owner)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const qsizetype count = m_owner->m_slides.size();
        if (count < 2)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        const int total = int(count) * (kDotSize + kDotGap) - kDotGap;
        int x = (width() - total) / 2;
        const int y = height() - kDotSize - 10;
        for (qsizetype i = 0; i < count; ++i, x += kDotSize + kDotGap) {
            painter.setBrush(i == m_owner->m_current ? QColor(255, 255, 255, 235) : QColor(255, 255, 255, 110));
            painter.drawEllipse(QRect(x, y, kDotSize, kDotSize));
        }
    }

private:
    HIMSliderView* m_owner;
};

HIMSliderView::HIMSliderView(QWidget* parent)
    : QWidget(parent)
    , m_dots(new Dots(this))
{
    setCursor(Qt::PointingHandCursor);
    m_timer.setInterval(int(m_interval * 1000));
    connect(&m_timer, &QTimer::timeout, this, &HIMSliderView::showNext);
}

HIMSliderView::~HIMSliderView()
{
    if (m_animation)
        m_animation->stop();
}

void HIMSliderView::setScheduledTransitionInterval(double seconds)
{
    m_interval = seconds > 0 ? seconds : 8.0;
    m_timer.setInterval(int(m_interval * 1000));
}

void HIMSliderView::setScheduledTransition(bool on)
{
    if (on)
        m_timer.start();
    else
        m_timer.stop();
}

QList<QWidget*> HIMSliderView::slides() const
{
    QList<QWidget*> list;
    for (const QPointer<QWidget>& slide : m_slides)
        if (slide)
            list << slide;
    return list;
}

void HIMSliderView::addSlide(QWidget* slide)
{
    if (!slide)
        return;
    finishAnimation();
    slide->setParent(this);
    // Clicks on a slide reach the carousel, which knows its index.
    slide->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_slides << slide;
    if (m_current < 0) {
        m_current = 0;
        layoutSlides();
        if (m_delegate)
            m_delegate->HIMSliderViewShowIndex(this, m_current);
    } else {
        layoutSlides();
    }
    update();
}

void HIMSliderView::removeSlide(QWidget* slide)
{
    const qsizetype at = m_slides.indexOf(slide);
    if (at < 0)
        return;
    finishAnimation();
    m_slides.removeAt(at);
    slide->setGraphicsEffect(nullptr);
    slide->hide();
    slide->setParent(nullptr);
    if (m_slides.isEmpty())
        m_current = -1;
    else if (m_current >= m_slides.size() || at < m_current)
        m_current = qMax<qint64>(0, m_current - 1);
    layoutSlides();
    update();
}

void HIMSliderView::layoutSlides()
{
    for (qsizetype i = 0; i < m_slides.size(); ++i) {
        QWidget* slide = m_slides[i];
        if (!slide)
            continue;
        slide->setGeometry(rect());
        slide->setVisible(i == m_current);
    }
    m_dots->setGeometry(rect());
    m_dots->raise();
    m_dots->update();
}

void HIMSliderView::finishAnimation()
{
    if (m_animation) {
        m_animation->stop();
        delete m_animation;
    }
    for (const QPointer<QWidget>& slide : m_slides)
        if (slide)
            slide->setGraphicsEffect(nullptr);
    layoutSlides();
}

void HIMSliderView::showNext()
{
    if (m_slides.size() < 2)
        return;
    showSlideAtIndex((m_current + 1) % m_slides.size());
}

void HIMSliderView::showSlideAtIndex(qint64 index, bool animated)
{
    if (index < 0 || index >= m_slides.size() || index == m_current)
        return;
    finishAnimation();
    QWidget* from = m_current >= 0 ? m_slides[m_current].data() : nullptr;
    QWidget* to = m_slides[index];
    m_current = index;
    if (m_delegate)
        m_delegate->HIMSliderViewShowIndex(this, m_current);
    update();

    if (!animated || !from || !to || m_style == TransitionNone || !isVisible()) {
        layoutSlides();
        return;
    }
    to->setGeometry(rect());
    to->show();
    to->raise();
    m_dots->raise();
    m_dots->update();
    if (m_style == TransitionFade) {
        auto* effect = new QGraphicsOpacityEffect(to);
        to->setGraphicsEffect(effect);
        auto* fade = new QPropertyAnimation(effect, "opacity", this);
        fade->setDuration(kTransitionMs);
        fade->setStartValue(0.0);
        fade->setEndValue(1.0);
        m_animation = fade;
    } else {
        const QPoint step = m_style == TransitionPushUp ? QPoint(0, height()) : QPoint(width(), 0);
        auto* group = new QParallelAnimationGroup(this);
        auto* in = new QPropertyAnimation(to, "pos", group);
        in->setStartValue(step);
        in->setEndValue(QPoint(0, 0));
        auto* out = new QPropertyAnimation(from, "pos", group);
        out->setStartValue(QPoint(0, 0));
        out->setEndValue(-step);
        for (QPropertyAnimation* a : { in, out }) {
            a->setDuration(kTransitionMs);
            a->setEasingCurve(QEasingCurve::InOutCubic);
            group->addAnimation(a);
        }
        m_animation = group;
    }
    connect(m_animation, &QAbstractAnimation::finished, this, [this] {
        m_animation->deleteLater();
        m_animation = nullptr;
        for (const QPointer<QWidget>& slide : m_slides)
            if (slide)
                slide->setGraphicsEffect(nullptr);
        layoutSlides();
    });
    m_animation->start();
}

void HIMSliderView::clickCurrentSlide()
{
    if (m_delegate && m_current >= 0)
        m_delegate->HIMSliderViewDidClickIndex(this, m_current);
}

void HIMSliderView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        clickCurrentSlide();
    QWidget::mouseReleaseEvent(event);
}

void HIMSliderView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    finishAnimation();
}

void HIMSliderView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
}
