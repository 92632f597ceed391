#pragma once

#include <QUrl>

// The web pages the menus open, each with the desktop's default handler
// (Workspace::openURL). Every action returns false when nothing could be
// opened. Interface thread only.
class WebActions {
public:
    static QUrl homePageURL(); // https://trelvio.io/
    static QUrl aboutPageURL(); // the about window's website link
    static QUrl contactPageURL(); // feedback
    static QUrl ratingPageURL(); // the application's page in the software centre
    static QUrl storeListingURL(); // every product of ours
    static QUrl productPageURL(const QString& slug);

    // Help menu: the home page.
    static bool helpClicked();
    // "Website": the home page.
    static bool websiteDown();
    // "Send Feedback": the contact page, through the report service.
    static bool feedbackDown();
    // "Rate": the application's software-centre page.
    static bool rateDown();
};
