#include "Views/TimeEditView.h"

#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QPainter>

TimeEditView::TimeEditView(QWidget* parent)
    : QWidget(parent)
{
}

void TimeEditView::setDCurTime(double seconds)
{
    m_dCurTime = seconds;
    update();
}

void TimeEditView::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect bounds = rect();
    painter.drawText(bounds.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     GlobalFun::getTimeStringBySecond(m_dCurTime));
    painter.drawRect(bounds.adjusted(0, 0, -1, -1));
}

QSize TimeEditView::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 8, fontMetrics().height() + 4);
}
