#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <cstdint>

class QPainter;

// Draws one conversion row inside a cell frame from the shared progress
// images: title, bar, state text, percentage and the two buttons. It keeps
// its own copies of the values and only draws; the actions come from the
// row views (ZKConvertItemCell).
class ConvertPrgCell {
public:
    int32_t eumCvtState = 0;
    double dPrgValue = 0; // percent
    double dLeftTime = 0; // seconds
    QString strLeftTimeDes;
    QString title;
    bool bPauseDown = false;
    bool bCancelDown = false;

    // A copy carries the four values, not the pressed flags.
    ConvertPrgCell copy() const;

    void drawInteriorWithFrame(QPainter& painter, const QRectF& frame, bool highlighted) const;

    // The state text of a row ("Waiting", "Converting - ...", ...).
    static QString stateText(int32_t state, const QString& leftTimeDes);
    static QString percentText(double progress);

    static QRectF titleRect(const QRectF& f) { return { f.x() + 4, f.y() + 2, f.width() + 2, 15 }; }
    static QRectF barRect(const QRectF& f) { return { f.x() + 4, f.y() + 22, f.width() - 78, 15 }; }
    static QRectF stateRect(const QRectF& f) { return { f.x() + 4, f.y() + 37, 300, 18 }; }
    static QRectF percentRect(const QRectF& f) { return { f.x() + 302, f.y() + 37, 300, 18 }; }
    static QRectF pauseRect(const QRectF& f) { return { f.x() + 344, f.y() + 22, 25, 26 }; }
    static QRectF cancelRect(const QRectF& f) { return { f.x() + 374, f.y() + 22, 25, 26 }; }

    // Mouse tracking: whether a point is a trackable area, and the pressed
    // flags through a press, drags and the release.
    bool hitTest(const QPointF& point, const QRectF& frame) const;
    void mouseDown(const QPointF& point, const QRectF& frame);
    void mouseDragged(const QPointF& point, const QRectF& frame);
    void mouseUp();

    // The background bar, and over it the fill for `progress` percent.
    static void drawBar(QPainter& painter, const QRectF& rect, double progress);
    static void drawThreePart(
        QPainter& painter, const QRectF& rect, const QImage& left, const QImage& middle, const QImage& right);
};

// The progress bar of a row, drawn with the shared images.
class ConvertPrgIndicator : public QWidget {
public:
    explicit ConvertPrgIndicator(QWidget* parent = nullptr);
    double value() const { return m_value; }
    void setValue(double percent);
    QSize sizeHint() const override { return { 200, 15 }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_value = 0;
};
