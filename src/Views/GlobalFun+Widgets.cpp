// The helpers of GlobalFun that touch widgets live in the interface library.
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QAbstractButton>
#include <QPalette>
#include <QWidget>

void GlobalFun::setTxtColorForBtn(QAbstractButton* button, const QString& text, const QColor& color,
                                  const QFont& font)
{
    if (!button || text.isEmpty())
        return;
    button->setText(text);
    button->setFont(font);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::WindowText, color);
    button->setPalette(palette);
}

bool GlobalFun::isInDarkMode(const QWidget* view)
{
    if (!view)
        return false;
    const QPalette& palette = view->palette();
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}
