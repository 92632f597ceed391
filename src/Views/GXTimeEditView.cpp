#include "Views/GXTimeEditView.h"

#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cmath>

namespace {

// Enough for any hour count a media file has, short enough that no field
// can hold a number that overflows.
constexpr int kFieldMaxLength = 9;

void showMessageBox(QWidget* parent, const QString& title, const QString& message, const QString& button)
{
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setText(title);
    box.setInformativeText(message);
    box.addButton(button, QMessageBox::AcceptRole);
    box.exec();
}

GXTimeEditView::AlertHandler& alertHandler()
{
    static GXTimeEditView::AlertHandler handler = showMessageBox;
    return handler;
}

bool endsEditingOnFocusOut(Qt::FocusReason reason)
{
    // Another window or a popup taking the focus interrupts editing; it does not end it.
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

}  // namespace

GXTimeEditView::GXTimeEditView(QWidget* parent)
    : QWidget(parent)
{
    m_lblHour = makeField();
    m_lblMinite = makeField();
    m_lblSecond = makeField();
    setTabOrder(m_lblHour, m_lblMinite);
    setTabOrder(m_lblMinite, m_lblSecond);
    setEditable(true);
    flushWithSeconds(0);
    resize(sizeHint());
    layoutFields();
}

GXTimeEditView::~GXTimeEditView() = default;

QLineEdit* GXTimeEditView::makeField()
{
    auto* field = new QLineEdit(this);
    QFont font = field->font();
    font.setPointSizeF(10);
    field->setFont(font);
    field->setAlignment(Qt::AlignCenter);
    field->setFrame(false);
    field->setMaxLength(kFieldMaxLength);
    field->setBackgroundRole(QPalette::Base);
    field->installEventFilter(this);
    connect(field, &QLineEdit::textEdited, this, [this] { m_bTextChanged = true; });
    return field;
}

GXTimeEditView::AlertHandler GXTimeEditView::setAlertHandler(AlertHandler handler)
{
    AlertHandler previous = alertHandler();
    alertHandler() = handler ? std::move(handler) : AlertHandler(showMessageBox);
    return previous;
}

QString GXTimeEditView::wrongTimeInputTitle()
{
    const char* key = "WrongTimeInput";
    const QString text = QCoreApplication::translate("GXTimeEditView", key);
    // The key is symbolic; without a translation loaded its English text is used.
    return text == QLatin1String(key) ? QStringLiteral("Wrong time input") : text;
}

void GXTimeEditView::flushWithSeconds(double seconds)
{
    int hour = 0, minite = 0, second = 0;
    GlobalFun::getHour(&hour, &minite, &second, seconds);
    m_lblHour->setText(QString::asprintf("%02d", hour));
    m_lblMinite->setText(QString::asprintf("%02d", minite));
    m_lblSecond->setText(QString::asprintf("%02d", second));
    m_bTextChanged = false;
    // A value shown while a field is being edited is the one an edit starts from.
    if (m_editingField)
        m_lastEnterValue = secondsValue();
}

double GXTimeEditView::numberFromText(const QString& text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    const int start = i;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    int digits = 0;
    while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'))
        ++i, ++digits;
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0.0;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

double GXTimeEditView::secondsValue() const
{
    return numberFromText(m_lblHour->text()) * 3600.0 + numberFromText(m_lblMinite->text()) * 60.0
        + numberFromText(m_lblSecond->text());
}

void GXTimeEditView::setEditable(bool editable)
{
    m_editable = editable;
    for (QLineEdit* field : {m_lblHour, m_lblMinite, m_lblSecond}) {
        field->setReadOnly(!editable);
        field->setAutoFillBackground(editable);
        // The style paints a line edit's base even without a frame; a
        // read-only field shows the view's background instead. Only that
        // role is set, so the rest still follows the parent's palette.
        QPalette palette;
        if (!editable)
            palette.setColor(QPalette::Base, Qt::transparent);
        field->setPalette(palette);
        field->setFocusPolicy(editable ? Qt::StrongFocus : Qt::NoFocus);
    }
    update();
}

void GXTimeEditView::beginEditing(QLineEdit* field)
{
    m_editingField = field;
    m_bTextChanged = false;
    m_lastEnterValue = secondsValue();
}

bool GXTimeEditView::tryEndEditing(QLineEdit* field)
{
    if (m_editingField != field)
        return true;
    if (m_bTextChanged && m_delegate && !m_delegate->GXTimeEditViewIsValid(this, secondsValue())) {
        m_inAlert = true;
        alertHandler()(window(), wrongTimeInputTitle(), QString(),
                       QCoreApplication::translate("GXTimeEditView", "OK"));
        m_inAlert = false;
        flushWithSeconds(m_lastEnterValue);
        return false;
    }
    m_editingField = nullptr;
    if (m_bTextChanged) {
        if (m_delegate)
            m_delegate->GXTimeEditViewDidChangeValue(this, secondsValue());
        m_bTextChanged = false;
    }
    return true;
}

bool GXTimeEditView::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (!field || (field != m_lblHour && field != m_lblMinite && field != m_lblSecond))
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::FocusIn:
        if (!m_inAlert && m_editingField != field)
            beginEditing(field);
        break;
    case QEvent::FocusOut: {
        const auto* focus = static_cast<QFocusEvent*>(event);
        if (m_inAlert || !endsEditingOnFocusOut(focus->reason()) || m_editingField != field)
            break;
        if (!tryEndEditing(field)) {
            // The focus is already on its way elsewhere; bring it back once that is done.
            QPointer<QLineEdit> guard(field);
            QTimer::singleShot(0, field, [guard] {
                if (guard)
                    guard->setFocus(Qt::OtherFocusReason);
            });
        }
        break;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (m_editingField != field)
            break;
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            if (!tryEndEditing(field))
                return true;  // stay in the field
        } else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // Return ends the edit but leaves the focus here, ready for the next one.
            if (tryEndEditing(field))
                beginEditing(field);
            field->selectAll();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void GXTimeEditView::layoutFields()
{
    // Laid out in view points with the origin at the bottom-left; the fields
    // sit 2 points above the bottom edge and fill the height less 4 points,
    // which is the same band in Qt's top-left coordinates.
    const double w = (width() - 40) / 3.0;
    const double h = height() - 4;
    auto place = [this, h](QLineEdit* field, double x, double fieldWidth) {
        const double yFromTop = height() - 2 - h;
        field->setGeometry(QRectF(x, yFromTop, fieldWidth, h).toRect());
    };
    place(m_lblHour, 10, w);
    place(m_lblMinite, 20 + w, w);
    place(m_lblSecond, 30 + 2 * w, w);
}

void GXTimeEditView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutFields();
}

void GXTimeEditView::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(m_lblHour->font());
    const double w = (width() - 40) / 3.0;
    // Each ":" has its bottom-left corner 3 points above the bottom edge,
    // 5 points after the hours field and 4 after the minutes field.
    const double bottom = height() - 3;
    painter.drawText(QRectF(10 + w + 5, 0, 10, bottom), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral(":"));
    painter.drawText(QRectF(20 + 2 * w + 4, 0, 10, bottom), Qt::AlignLeft | Qt::AlignBottom, QStringLiteral(":"));
}

QSize GXTimeEditView::sizeHint() const
{
    return QSize(100, 22);
}
