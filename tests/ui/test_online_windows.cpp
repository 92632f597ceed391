// The other-products window, its carousel, the about window and the web actions.
#include "Online/HIMSliderView.h"
#include "Online/WebActions.h"
#include "Online/ZKAboutWndCtl.h"
#include "Online/ZKProductsWindowCtl.h"
#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Records every location handed to the desktop instead of opening it.
struct OpenedURLs {
    QList<QUrl> urls;
    OpenedURLs()
    {
        Workspace::setOpenUrlFunction([this](const QUrl& url) {
            urls << url;
            return true;
        });
    }
    ~OpenedURLs() { Workspace::setOpenUrlFunction({}); }
};

class ProductsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        defaults = std::make_unique<UserDefaults>(dir.filePath(QStringLiteral("settings.conf")));
    }
    QString writeFile(const QString& name, const QByteArray& contents)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return file.fileName();
    }

    QTemporaryDir dir;
    std::unique_ptr<UserDefaults> defaults;
};

} // namespace

TEST_F(ProductsWindowTest, ShowAtLaunchFollowsTheCheckBox)
{
    EXPECT_TRUE(ZKProductsWindowCtl::showAtLaunch(defaults.get()));
    {
        ZKProductsWindowCtl ctl(defaults.get());
        ASSERT_TRUE(ctl.window());
        EXPECT_TRUE(ctl.btnShowState()->isChecked());
        ctl.btnShowState()->click(); // the user unticks the box
    }
    // Written out at once: a fresh store on the same file (the next launch) sees it.
    UserDefaults nextLaunch(defaults->filePath());
    EXPECT_FALSE(ZKProductsWindowCtl::showAtLaunch(&nextLaunch));
    ZKProductsWindowCtl again(&nextLaunch);
    ASSERT_TRUE(again.window());
    EXPECT_FALSE(again.btnShowState()->isChecked());
}

TEST_F(ProductsWindowTest, BuiltInListGivesOneSlidePerProduct)
{
    ZKProductsWindowCtl ctl(defaults.get());
    ASSERT_TRUE(ctl.window());
    const QJsonArray products = ctl.products();
    ASSERT_GE(products.size(), 2);
    ASSERT_EQ(ctl.sliderView()->slides().size(), products.size());
    for (QWidget* slide : ctl.sliderView()->slides()) {
        auto* image = qobject_cast<QLabel*>(slide);
        ASSERT_TRUE(image);
        EXPECT_FALSE(image->pixmap().isNull()) << "every built-in product has its screenshot";
    }
    EXPECT_EQ(ctl.lblTitle()->text(), QStringLiteral("Thank you for downloading Trelvio 3"));
    EXPECT_EQ(ctl.lblProductName()->text(), products.at(0).toObject().value("name").toString());
    EXPECT_TRUE(ctl.btnMoreApp()->isDefault());
    EXPECT_EQ(ctl.sliderView()->transitionStyle(), 3);
    EXPECT_EQ(ctl.sliderView()->scheduledTransitionInterval(), 8.0);

    ctl.showWindow();
    EXPECT_TRUE(ctl.sliderView()->scheduledTransition());
    ctl.closeDown();
    EXPECT_FALSE(ctl.sliderView()->scheduledTransition());
}

TEST_F(ProductsWindowTest, ShownSlideNamesItsProduct)
{
    ZKProductsWindowCtl ctl(defaults.get());
    ASSERT_TRUE(ctl.window());
    const QJsonArray products = ctl.products();
    ctl.sliderView()->showSlideAtIndex(1, false);
    EXPECT_EQ(ctl.sliderView()->currentIndex(), 1);
    EXPECT_EQ(ctl.lblProductName()->text(), products.at(1).toObject().value("name").toString());
    // The scheduled advance wraps round to the first slide.
    for (qsizetype i = 1; i < products.size(); ++i)
        ctl.sliderView()->showNext();
    EXPECT_EQ(ctl.sliderView()->currentIndex(), 0);
}

TEST_F(ProductsWindowTest, TopLevelObjectLoadsNoProducts)
{
    ZKProductsWindowCtl ctl(defaults.get());
    ASSERT_TRUE(ctl.window());
    const QJsonArray builtIn = ctl.products();

    struct Case {
        const char* file;
        QByteArray contents;
    };
    const Case unchanged[] = {
        { "object.json", R"({"name": "x", "screenshot": "y", "appstorelink": "https://example.invalid/"})" },
        { "broken.json", "[{\"name\": " },
        { "missing.json", QByteArray() },
    };
    for (const Case& c : unchanged) {
        SCOPED_TRACE(c.file);
        const QString path = c.contents.isNull() ? dir.filePath(c.file) : writeFile(c.file, c.contents);
        ctl.reflushProducts(path);
        EXPECT_EQ(ctl.products(), builtIn);
        EXPECT_EQ(ctl.sliderView()->slides().size(), builtIn.size());
    }

    // A fresh controller reading such a file first has no products and no slides.
    ZKProductsWindowCtl fresh(defaults.get());
    ASSERT_TRUE(fresh.window());
    fresh.reflushProducts(writeFile("empty.json", "[]"));
    fresh.reflushProducts(writeFile("object2.json", R"({"products": []})"));
    EXPECT_TRUE(fresh.products().isEmpty());
    EXPECT_TRUE(fresh.sliderView()->slides().isEmpty());
    EXPECT_EQ(fresh.sliderView()->currentIndex(), -1);

    // A product without its picture still gets a (blank) slide.
    fresh.reflushProducts(writeFile("one.json", R"([{"name": "Solo", "screenshot": "NoSuchPicture",
                                                     "appstorelink": "https://trelvio.io/products/solo"}])"));
    ASSERT_EQ(fresh.sliderView()->slides().size(), 1);
    EXPECT_EQ(fresh.lblProductName()->text(), QStringLiteral("Solo"));
}

TEST_F(ProductsWindowTest, ClicksOpenTheProductPageOnlyForRealIndexes)
{
    OpenedURLs opened;
    ZKProductsWindowCtl ctl(defaults.get());
    ASSERT_TRUE(ctl.window());
    const QJsonArray products = ctl.products();
    const qint64 count = products.size();
    for (qint64 index : { qint64(-1), count, count + 5, std::numeric_limits<qint64>::min() }) {
        ctl.HIMSliderViewDidClickIndex(ctl.sliderView(), index);
        ctl.HIMSliderViewShowIndex(ctl.sliderView(), index);
    }
    EXPECT_TRUE(opened.urls.isEmpty());
    EXPECT_EQ(ctl.lblProductName()->text(), products.at(0).toObject().value("name").toString());

    // A real click on the carousel opens the shown product's page.
    ctl.window()->show();
    ctl.sliderView()->showSlideAtIndex(count - 1, false);
    QTest::mouseClick(ctl.sliderView(), Qt::LeftButton, {}, ctl.sliderView()->rect().center());
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls.first(), QUrl(products.at(count - 1).toObject().value("appstorelink").toString()));

    ctl.moreAppsDown();
    ctl.viewSiteDown();
    ASSERT_EQ(opened.urls.size(), 3);
    EXPECT_EQ(opened.urls.at(1), WebActions::storeListingURL());
    EXPECT_EQ(opened.urls.at(2), WebActions::homePageURL());
    ctl.closeDown();
}

TEST(AboutWindow, ShowsNameVersionAndOpensTheWebsite)
{
    OpenedURLs opened;
    ZKAboutWndCtl about;
    about.setWebsiteURL(WebActions::aboutPageURL());
    about.showWindow();
    EXPECT_TRUE(about.window()->isVisible());
    EXPECT_EQ(about.lblName()->text(), GlobalFun::getProductName());
    EXPECT_TRUE(about.lblVersion()->text().contains(GlobalFun::getAppBuildVersion()));
    EXPECT_TRUE(about.lblWebsite()->text().contains(WebActions::aboutPageURL().toString()));
    emit about.lblWebsite()->linkActivated(WebActions::aboutPageURL().toString());
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls.first(), WebActions::aboutPageURL());
    about.window()->close();
}

TEST(WebActions, EachActionOpensItsPage)
{
    OpenedURLs opened;
    EXPECT_TRUE(WebActions::helpClicked());
    EXPECT_TRUE(WebActions::websiteDown());
    EXPECT_TRUE(WebActions::feedbackDown());
    EXPECT_TRUE(WebActions::rateDown());
    const QList<QUrl> expected = { WebActions::homePageURL(), WebActions::homePageURL(), WebActions::contactPageURL(),
        WebActions::ratingPageURL() };
    EXPECT_EQ(opened.urls, expected);
    for (const QUrl& url : opened.urls)
        EXPECT_TRUE(url.isValid());
}

// Screenshots for a person to look at: TRELVIO_ONLINE_SHOTS=<folder>.
TEST(OnlineWindowsShots, GrabWhenAsked)
{
    const QString folder = qEnvironmentVariable("TRELVIO_ONLINE_SHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set TRELVIO_ONLINE_SHOTS to a folder to get the pictures";
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("s.conf"));
    ZKProductsWindowCtl products(&defaults);
    products.window()->show();
    products.sliderView()->showSlideAtIndex(1, false);
    QTest::qWait(50);
    EXPECT_TRUE(products.window()->grab().save(QDir(folder).filePath("products.png")));
    ZKAboutWndCtl about;
    about.showWindow();
    QTest::qWait(50);
    EXPECT_TRUE(about.window()->grab().save(QDir(folder).filePath("about.png")));
}

TEST(SliderView, AnimatedPushEndsOnTheNextSlideAlone)
{
    HIMSliderView view;
    view.resize(200, 100);
    view.setTransitionStyle(HIMSliderView::TransitionPushLeft);
    for (int i = 0; i < 3; ++i)
        view.addSlide(new QLabel(QString::number(i)));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.showNext();
    EXPECT_EQ(view.currentIndex(), 1);
    // While the transition runs both slides are on screen; afterwards only the new one.
    EXPECT_TRUE(view.slides().at(0)->isVisible());
    EXPECT_TRUE(view.slides().at(1)->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.slides().at(0)->isVisible(); }, 10000));
    EXPECT_EQ(view.slides().at(1)->pos(), QPoint(0, 0));
    EXPECT_FALSE(view.slides().at(2)->isVisible());

    // Removing the shown slide keeps a valid index; out-of-range requests are ignored.
    QWidget* shown = view.slides().at(1);
    view.removeSlide(shown);
    delete shown;
    EXPECT_EQ(view.slides().size(), 2);
    EXPECT_GE(view.currentIndex(), 0);
    EXPECT_LT(view.currentIndex(), 2);
    const qint64 before = view.currentIndex();
    view.showSlideAtIndex(-1);
    view.showSlideAtIndex(7);
    EXPECT_EQ(view.currentIndex(), before);
}
