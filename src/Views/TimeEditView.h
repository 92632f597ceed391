#pragma once

#include <QWidget>

// A plain, framed "HH:MM:SS" display of dCurTime.
class TimeEditView : public QWidget
{
public:
    explicit TimeEditView(QWidget* parent = nullptr);

    double dCurTime() const { return m_dCurTime; }
    // Stores the time and redraws.
    void setDCurTime(double seconds);
    // The display is never editable; kept so that it can stand in for a time field.
    void setEditable(bool editable) { (void)editable; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_dCurTime = 0.0;
};
