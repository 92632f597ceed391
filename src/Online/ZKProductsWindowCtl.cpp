#include "Online/ZKProductsWindowCtl.h"

#include "Online/WebActions.h"
#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kBottomBorder = 64;
const QSize kSlideSize(480, 270);

QPixmap screenshotNamed(const QString& name)
{
    if (name.isEmpty())
        return {};
    if (name.startsWith(QLatin1String(":/")))
        return QPixmap(name);
    for (const char* suffix : { ".jpg", ".png", ".svg", "" }) {
        const QString path = QStringLiteral(":/products/") + name + QLatin1String(suffix);
        if (QFile::exists(path))
            return QPixmap(path);
    }
    return {};
}

} // namespace

// The window tells its controller when it closes, whichever way it was closed.
class ZKProductsWindowCtl::Window : public QDialog {
public:
    explicit Window(ZKProductsWindowCtl* owner)
        : m_owner(owner)
    {
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        m_owner->windowWillClose();
        QDialog::closeEvent(event);
    }
    void reject() override
    {
        m_owner->windowWillClose();
        QDialog::reject();
    }

private:
    ZKProductsWindowCtl* m_owner;
};

ZKProductsWindowCtl::ZKProductsWindowCtl(UserDefaults* defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults ? *defaults : UserDefaults::standardUserDefaults())
{
}

ZKProductsWindowCtl::~ZKProductsWindowCtl()
{
    delete m_window;
}

bool ZKProductsWindowCtl::showAtLaunch(UserDefaults* defaults)
{
    UserDefaults& store = defaults ? *defaults : UserDefaults::standardUserDefaults();
    if (!store.objectForKey(ShowProductsStartUpKey).isValid())
        return true;
    return store.boolForKey(ShowProductsStartUpKey);
}

QDialog* ZKProductsWindowCtl::window()
{
    if (!m_window)
        buildWindow();
    return m_window;
}

void ZKProductsWindowCtl::buildWindow()
{
    m_window = new Window(this);
    m_window->setObjectName(QStringLiteral("ZKProductsWindowCtl"));
    m_window->setWindowTitle(tr("More Products"));
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);

    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 16, 0, 0);
    layout->setSpacing(10);

    m_lblTitle = new QLabel(m_window);
    QFont titleFont = m_lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    m_lblTitle->setFont(titleFont);
    m_lblTitle->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_lblTitle);

    m_sliderView = new HIMSliderView(m_window);
    m_sliderView->setFixedSize(kSlideSize);
    auto* sliderRow = new QHBoxLayout;
    sliderRow->setContentsMargins(20, 0, 20, 0);
    sliderRow->addWidget(m_sliderView, 0, Qt::AlignCenter);
    layout->addLayout(sliderRow);

    m_lblProductName = new QLabel(m_window);
    m_lblProductName->setAlignment(Qt::AlignCenter);
    QFont nameFont = m_lblProductName->font();
    nameFont.setBold(true);
    m_lblProductName->setFont(nameFont);
    layout->addWidget(m_lblProductName);

    // The bottom border: the check box on the left, the buttons on the right.
    auto* bottom = new QWidget(m_window);
    bottom->setObjectName(QStringLiteral("bottomBorder"));
    bottom->setFixedHeight(kBottomBorder);
    bottom->setAutoFillBackground(true);
    QPalette bottomPalette = bottom->palette();
    bottomPalette.setColor(QPalette::Window, bottomPalette.color(QPalette::Window).darker(106));
    bottom->setPalette(bottomPalette);
    auto* buttons = new QHBoxLayout(bottom);
    buttons->setContentsMargins(20, 0, 20, 0);
    m_btnShowState = new QCheckBox(tr("Show at launch"), bottom);
    m_btnShowState->setChecked(true);
    buttons->addWidget(m_btnShowState);
    buttons->addStretch(1);
    auto* btnSite = new QPushButton(tr("Website"), bottom);
    auto* btnClose = new QPushButton(tr("Close"), bottom);
    m_btnMoreApp = new QPushButton(tr("More Apps"), bottom);
    for (QPushButton* button : { btnSite, btnClose, m_btnMoreApp }) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    m_btnMoreApp->setDefault(true);
    layout->addWidget(bottom);

    connect(m_btnMoreApp, &QPushButton::clicked, this, &ZKProductsWindowCtl::moreAppsDown);
    connect(btnSite, &QPushButton::clicked, this, &ZKProductsWindowCtl::viewSiteDown);
    connect(btnClose, &QPushButton::clicked, this, &ZKProductsWindowCtl::closeDown);
    connect(m_btnShowState, &QCheckBox::clicked, this, &ZKProductsWindowCtl::showStateDown);

    m_sliderView->setTransitionStyle(HIMSliderView::TransitionPushLeft);
    m_sliderView->setDelegate(this);
    m_sliderView->setScheduledTransitionInterval(8.0);

    reflushProducts(QStringLiteral(":/products.json"));

    m_lblTitle->setText(tr("Thank you for downloading %1").arg(GlobalFun::getProductName()));
    if (m_defaults.objectForKey(ShowProductsStartUpKey).isValid())
        m_btnShowState->setChecked(m_defaults.boolForKey(ShowProductsStartUpKey));
    m_window->adjustSize();
    m_window->setFixedSize(m_window->sizeHint());
}

void ZKProductsWindowCtl::showWindow()
{
    QDialog* dialog = window();
    m_sliderView->setScheduledTransition(true);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void ZKProductsWindowCtl::reflushProducts(const QString& path)
{
    {
        QMutexLocker lock(&m_lock);
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
            if (document.isArray())
                m_products = document.array();
        }
    }
    if (!m_sliderView)
        return;
    const QList<QWidget*> old = m_sliderView->slides();
    for (QWidget* slide : old) {
        m_sliderView->removeSlide(slide);
        delete slide;
    }
    for (const QJsonValue& product : products()) {
        auto* image = new QLabel;
        image->setGeometry(m_sliderView->rect());
        image->setAlignment(Qt::AlignCenter);
        image->setScaledContents(false);
        const QPixmap picture = screenshotNamed(product.toObject().value(QStringLiteral("screenshot")).toString());
        if (!picture.isNull())
            image->setPixmap(picture.scaled(m_sliderView->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        m_sliderView->addSlide(image);
    }
    if (products().isEmpty())
        m_lblProductName->clear();
}

QJsonArray ZKProductsWindowCtl::products() const
{
    QMutexLocker lock(&m_lock);
    return m_products;
}

void ZKProductsWindowCtl::moreAppsDown()
{
    Workspace::sharedWorkspace().openURL(WebActions::storeListingURL());
}

void ZKProductsWindowCtl::viewSiteDown()
{
    Workspace::sharedWorkspace().openURL(WebActions::homePageURL());
}

void ZKProductsWindowCtl::closeDown()
{
    if (m_window)
        m_window->close();
}

void ZKProductsWindowCtl::showStateDown()
{
    if (!m_btnShowState)
        return;
    m_defaults.setBool(m_btnShowState->isChecked(), ShowProductsStartUpKey);
    m_defaults.synchronize();
}

void ZKProductsWindowCtl::windowWillClose()
{
    if (m_sliderView)
        m_sliderView->setScheduledTransition(false);
}

void ZKProductsWindowCtl::HIMSliderViewDidClickIndex(HIMSliderView*, qint64 index)
{
    const QJsonArray list = products();
    if (index < 0 || index >= list.size())
        return;
    const QString link = list.at(index).toObject().value(QStringLiteral("appstorelink")).toString();
    const QUrl url(link);
    if (!link.isEmpty() && url.isValid())
        Workspace::sharedWorkspace().openURL(url);
}

void ZKProductsWindowCtl::HIMSliderViewShowIndex(HIMSliderView*, qint64 index)
{
    const QJsonArray list = products();
    if (index < 0 || index >= list.size() || !m_lblProductName)
        return;
    m_lblProductName->setText(list.at(index).toObject().value(QStringLiteral("name")).toString());
}
