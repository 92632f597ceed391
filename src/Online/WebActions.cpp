#include "Online/WebActions.h"

#include "App/ZKReportCtlMgr.h"
#include "Platform/Workspace.h"

QUrl WebActions::homePageURL()
{
    return QUrl(QStringLiteral("https://trelvio.io/"));
}

QUrl WebActions::aboutPageURL()
{
    return QUrl(QStringLiteral("https://trelvio.io/about"));
}

QUrl WebActions::contactPageURL()
{
    return QUrl(ZKContactPageURL);
}

QUrl WebActions::ratingPageURL()
{
    // Software centres on the Linux desktop answer appstream links with the
    // application's own page, where it can be rated.
    return QUrl(QStringLiteral("appstream:io.trelvio.Trelvio3"));
}

QUrl WebActions::storeListingURL()
{
    return QUrl(QStringLiteral("https://trelvio.io/products"));
}

QUrl WebActions::productPageURL(const QString& slug)
{
    return QUrl(QStringLiteral("https://trelvio.io/products/") + slug);
}

bool WebActions::helpClicked()
{
    return Workspace::sharedWorkspace().openURL(homePageURL());
}

bool WebActions::websiteDown()
{
    return Workspace::sharedWorkspace().openURL(homePageURL());
}

bool WebActions::feedbackDown()
{
    ZKReportCtlMgr::sharedMgr().showFeedBackWindow();
    return true;
}

bool WebActions::rateDown()
{
    return Workspace::sharedWorkspace().openURL(ratingPageURL());
}
