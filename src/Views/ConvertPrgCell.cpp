#include "Views/ConvertPrgCell.h"

#include "Media/LSMediaTypes.h"
#include "Settings/GlobalResources.h"

#include <QCoreApplication>
#include <QFont>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

QImage shared(const char* key)
{
    return GlobalResources::sharedImage(QString::fromLatin1(key));
}

QString tr(const char* text)
{
    return QCoreApplication::translate("ZKConvertItemCell", text);
}

} // namespace

ConvertPrgCell ConvertPrgCell::copy() const
{
    ConvertPrgCell c;
    c.eumCvtState = eumCvtState;
    c.dPrgValue = dPrgValue;
    c.dLeftTime = dLeftTime;
    c.strLeftTimeDes = strLeftTimeDes;
    c.title = title;
    return c;
}

QString ConvertPrgCell::stateText(int32_t state, const QString& leftTimeDes)
{
    switch (state) {
    case CvtStateWaiting:
        return tr("Waiting");
    case CvtStateConverting:
        return tr("%1 - %2").arg(tr("Converting"), leftTimeDes);
    case CvtStateSyncing:
        return tr("Syncing to iTunes");
    case CvtStatePaused:
        return tr("Paused");
    case CvtStateCanceled:
        return tr("Canceled");
    case CvtStateFinished:
        return tr("Finished");
    case CvtStateFailed:
        return tr("Failed");
    default:
        return QStringLiteral("------");
    }
}

QString ConvertPrgCell::percentText(double progress)
{
    return QString::asprintf("%0.1f%%", std::isfinite(progress) ? progress : 0.0);
}

void ConvertPrgCell::drawThreePart(
    QPainter& painter, const QRectF& rect, const QImage& left, const QImage& middle, const QImage& right)
{
    if (!(rect.width() > 0) || !(rect.height() > 0))
        return;
    // The caps keep their proportions at the bar's height.
    auto capWidth = [&](const QImage& image) {
        return image.isNull() || image.height() == 0 ? 0.0 : rect.height() * image.width() / image.height();
    };
    double lw = capWidth(left), rw = capWidth(right);
    if (lw + rw > rect.width()) {
        const double scale = rect.width() / (lw + rw);
        lw *= scale;
        rw *= scale;
    }
    if (!left.isNull())
        painter.drawImage(QRectF(rect.x(), rect.y(), lw, rect.height()), left);
    if (!middle.isNull())
        painter.drawImage(QRectF(rect.x() + lw, rect.y(), rect.width() - lw - rw, rect.height()), middle);
    if (!right.isNull())
        painter.drawImage(QRectF(rect.right() - rw, rect.y(), rw, rect.height()), right);
}

void ConvertPrgCell::drawBar(QPainter& painter, const QRectF& rect, double progress)
{
    drawThreePart(
        painter, rect, shared("PrgBkgLeftCapImgKey"), shared("PrgBkgMiddleCapImgKey"), shared("PrgBkgRightCapImgKey"));
    const double ratio = std::clamp(std::isfinite(progress) ? progress / 100.0 : 0.0, 0.0, 1.0);
    QRectF fill = rect;
    fill.setWidth(rect.width() * ratio);
    painter.save();
    painter.setOpacity(0.8);
    drawThreePart(painter, fill, shared("PrgAboveLeftCapImgKey"), shared("PrgAboveMiddleCapImgKey"),
        shared("PrgAboveRightCapImgKey"));
    painter.restore();
}

void ConvertPrgCell::drawInteriorWithFrame(QPainter& painter, const QRectF& f, bool highlighted) const
{
    painter.save();
    QFont font = painter.font();
    font.setPointSize(12);
    painter.setFont(font);
    painter.setPen(highlighted ? Qt::white : Qt::black);
    painter.drawText(titleRect(f), Qt::AlignLeft | Qt::AlignVCenter, title);
    const QString state
        = eumCvtState == 7 ? QStringLiteral("Exporting iBooks Author") : stateText(eumCvtState, strLeftTimeDes);
    painter.drawText(stateRect(f), Qt::AlignLeft | Qt::AlignVCenter, state);
    if (eumCvtState != CvtStateCanceled) {
        drawBar(painter, barRect(f), dPrgValue);
        painter.drawText(percentRect(f), Qt::AlignLeft | Qt::AlignVCenter, percentText(dPrgValue));
        if (eumCvtState != CvtStateSyncing && eumCvtState != CvtStateFinished && eumCvtState != 7) {
            const bool paused = eumCvtState == CvtStatePaused;
            const char* pauseKey = paused ? (bPauseDown ? "PrgContinueImageDownKey" : "PrgContinueImageKey")
                                          : (bPauseDown ? "PrgPauseImageDownKey" : "PrgPauseImageKey");
            painter.drawImage(pauseRect(f), shared(pauseKey));
            painter.drawImage(cancelRect(f), shared(bCancelDown ? "PrgCanceledImageDownKey" : "PrgCanceledImageKey"));
        }
    }
    painter.restore();
}

bool ConvertPrgCell::hitTest(const QPointF& p, const QRectF& f) const
{
    if (eumCvtState == CvtStateCanceled)
        return false;
    return pauseRect(f).contains(p) || cancelRect(f).contains(p);
}

void ConvertPrgCell::mouseDown(const QPointF& p, const QRectF& f)
{
    if (pauseRect(f).contains(p))
        bPauseDown = true;
    else if (cancelRect(f).contains(p))
        bCancelDown = true;
}

void ConvertPrgCell::mouseDragged(const QPointF& p, const QRectF& f)
{
    bPauseDown = pauseRect(f).contains(p);
    bCancelDown = cancelRect(f).contains(p);
}

void ConvertPrgCell::mouseUp()
{
    bPauseDown = false;
    bCancelDown = false;
}

ConvertPrgIndicator::ConvertPrgIndicator(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(15);
}

void ConvertPrgIndicator::setValue(double percent)
{
    const double v = std::clamp(std::isfinite(percent) ? percent : 0.0, 0.0, 100.0);
    if (v == m_value)
        return;
    m_value = v;
    update();
}

void ConvertPrgIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    ConvertPrgCell::drawBar(painter, QRectF(rect()), m_value);
}
