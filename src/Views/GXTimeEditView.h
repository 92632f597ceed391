#pragma once

#include <QWidget>

#include <functional>

class GXTimeEditView;
class QLineEdit;

// Validates and receives the values typed into a GXTimeEditView. Both
// operations are answered by every delegate.
class GXTimeEditViewDelegate
{
public:
    virtual ~GXTimeEditViewDelegate() = default;
    // The user tries to leave a field after typing; false keeps them there.
    virtual bool GXTimeEditViewIsValid(GXTimeEditView* view, double seconds) = 0;
    // Editing ended after the user typed.
    virtual void GXTimeEditViewDidChangeValue(GXTimeEditView* view, double seconds) = 0;
};

// An hours : minutes : seconds entry field made of three small text fields.
//
// Editing a field begins when it takes the focus (or when a value is shown
// while it has it) and ends when the user leaves it with Tab, Shift+Tab,
// Return or a click elsewhere. Leaving after typing asks the delegate; a
// rejected value brings up the "WrongTimeInput" alert, the value from before
// the edit comes back and the focus stays in the field. Losing the focus to
// another window or a popup does not end editing.
class GXTimeEditView : public QWidget
{
public:
    // Shows a modal alert with a title, a message and one button, over `parent`.
    using AlertHandler =
        std::function<void(QWidget* parent, const QString& title, const QString& message, const QString& button)>;

    explicit GXTimeEditView(QWidget* parent = nullptr);
    ~GXTimeEditView() override;

    // Shows the value truncated to whole seconds, as "%02d" parts.
    void flushWithSeconds(double seconds);
    // hours x 3600 + minutes x 60 + seconds, each field read as a decimal number.
    double secondsValue() const;
    // Editable fields draw their background and take the focus; others do neither.
    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }

    GXTimeEditViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(GXTimeEditViewDelegate* delegate) { m_delegate = delegate; }

    QLineEdit* lblHour() const { return m_lblHour; }
    QLineEdit* lblMinite() const { return m_lblMinite; }
    QLineEdit* lblSecond() const { return m_lblSecond; }
    bool bTextChanged() const { return m_bTextChanged; }
    double lastEnterValue() const { return m_lastEnterValue; }

    // Where the reject alert goes; a message box by default. Tests answer it
    // here. Returns the previous handler.
    static AlertHandler setAlertHandler(AlertHandler handler);
    // The alert title: the text stored for the key "WrongTimeInput".
    static QString wrongTimeInputTitle();

    // A field's text read leniently: leading blanks skipped, the longest
    // decimal prefix taken, otherwise 0.
    static double numberFromText(const QString& text);

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* makeField();
    void layoutFields();
    void beginEditing(QLineEdit* field);
    // Tries to end the editing of `field`; false when the value was rejected.
    bool tryEndEditing(QLineEdit* field);

    QLineEdit* m_lblHour = nullptr;
    QLineEdit* m_lblMinite = nullptr;
    QLineEdit* m_lblSecond = nullptr;
    QLineEdit* m_editingField = nullptr;
    bool m_bTextChanged = false;
    bool m_inAlert = false;
    bool m_editable = true;
    double m_lastEnterValue = 0.0;
    GXTimeEditViewDelegate* m_delegate = nullptr;
};
