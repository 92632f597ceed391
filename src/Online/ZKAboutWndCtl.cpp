#include "Online/ZKAboutWndCtl.h"

#include "Online/WebActions.h"
#include "Platform/Workspace.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

ZKAboutWndCtl::ZKAboutWndCtl(QObject* parent)
    : QObject(parent)
    , m_websiteURL(WebActions::aboutPageURL())
{
}

ZKAboutWndCtl::~ZKAboutWndCtl()
{
    delete m_window;
}

void ZKAboutWndCtl::setWebsiteURL(const QUrl& url)
{
    m_websiteURL = url;
    updateLink();
}

QDialog* ZKAboutWndCtl::window()
{
    if (!m_window)
        buildWindow();
    return m_window;
}

void ZKAboutWndCtl::buildWindow()
{
    m_window = new QDialog;
    m_window->setObjectName(QStringLiteral("ZKAboutWnd"));
    m_window->setWindowTitle(tr("About %1").arg(GlobalFun::getProductName()));

    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(40, 28, 40, 24);
    layout->setSpacing(8);

    auto* icon = new QLabel(m_window);
    icon->setPixmap(QPixmap(QStringLiteral(":/desktop/icons/io.trelvio.Trelvio3-128.png")));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    m_lblName = new QLabel(GlobalFun::getProductName(), m_window);
    QFont nameFont = m_lblName->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.5);
    nameFont.setBold(true);
    m_lblName->setFont(nameFont);
    m_lblName->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_lblName);

    m_lblVersion = new QLabel(tr("Version %1").arg(GlobalFun::getAppBuildVersion()), m_window);
    m_lblVersion->setAlignment(Qt::AlignCenter);
    m_lblVersion->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_lblVersion);

    m_lblWebsite = new QLabel(m_window);
    m_lblWebsite->setAlignment(Qt::AlignCenter);
    m_lblWebsite->setTextFormat(Qt::RichText);
    m_lblWebsite->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_lblWebsite->setOpenExternalLinks(false);
    connect(m_lblWebsite, &QLabel::linkActivated, this, [this] { websiteClicked(); });
    layout->addWidget(m_lblWebsite);

    auto* note = new QLabel(tr("A media converter for video and audio files."), m_window);
    note->setAlignment(Qt::AlignCenter);
    QPalette notePalette = note->palette();
    notePalette.setColor(QPalette::WindowText, notePalette.color(QPalette::PlaceholderText));
    note->setPalette(notePalette);
    layout->addSpacing(6);
    layout->addWidget(note);

    updateLink();
    m_window->adjustSize();
    m_window->setFixedSize(m_window->sizeHint());
}

void ZKAboutWndCtl::updateLink()
{
    if (!m_lblWebsite)
        return;
    const QString shown = m_websiteURL.toString(QUrl::RemoveScheme | QUrl::StripTrailingSlash).mid(2);
    m_lblWebsite->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                              .arg(m_websiteURL.toString(QUrl::FullyEncoded).toHtmlEscaped(), shown.toHtmlEscaped()));
}

void ZKAboutWndCtl::websiteClicked()
{
    if (m_websiteURL.isValid() && !m_websiteURL.isEmpty())
        Workspace::sharedWorkspace().openURL(m_websiteURL);
}

void ZKAboutWndCtl::showWindow()
{
    QDialog* dialog = window();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = dialog->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        dialog->move(frame.topLeft());
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
