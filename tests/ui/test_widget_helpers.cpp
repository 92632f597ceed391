#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QPalette>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(WidgetHelpers, ButtonTitleTakesTextColourAndFontButNotAnEmptyText)
{
    QPushButton button(QStringLiteral("old"));
    QFont font;
    font.setPointSize(17);
    GlobalFun::setTxtColorForBtn(&button, QStringLiteral("Convert"), Qt::red, font);
    EXPECT_EQ(button.text(), QStringLiteral("Convert"));
    EXPECT_EQ(button.font().pointSize(), 17);
    EXPECT_EQ(button.palette().color(QPalette::ButtonText), QColor(Qt::red));
    GlobalFun::setTxtColorForBtn(&button, QString(), Qt::blue, QFont());
    EXPECT_EQ(button.text(), QStringLiteral("Convert"));
}

TEST(WidgetHelpers, DarkModeFollowsThePalette)
{
    QWidget light;
    QPalette p;
    p.setColor(QPalette::Window, Qt::white);
    p.setColor(QPalette::WindowText, Qt::black);
    light.setPalette(p);
    EXPECT_FALSE(GlobalFun::isInDarkMode(&light));
    QWidget dark;
    p.setColor(QPalette::Window, QColor(30, 30, 30));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setPalette(p);
    EXPECT_TRUE(GlobalFun::isInDarkMode(&dark));
    EXPECT_FALSE(GlobalFun::isInDarkMode(nullptr));
}
