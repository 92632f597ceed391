#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>

class QDialog;
class QLabel;

// The about window: the application icon, the product name, the version
// with its build number and a link to our website (opened with the
// desktop's default handler). The opener creates it on first use, sets the
// link and calls showWindow(), which centres the window and brings it to the
// front. Interface thread only.
class ZKAboutWndCtl : public QObject {
    Q_OBJECT

public:
    explicit ZKAboutWndCtl(QObject* parent = nullptr);
    ~ZKAboutWndCtl() override;

    void setWebsiteURL(const QUrl& url);
    QUrl websiteURL() const { return m_websiteURL; }

    QDialog* window();
    void showWindow();
    // What a click on the link does.
    void websiteClicked();

    QLabel* lblName() const { return m_lblName; }
    QLabel* lblVersion() const { return m_lblVersion; }
    QLabel* lblWebsite() const { return m_lblWebsite; }

private:
    void buildWindow();
    void updateLink();

    QUrl m_websiteURL;
    QPointer<QDialog> m_window;
    QLabel* m_lblName = nullptr;
    QLabel* m_lblVersion = nullptr;
    QLabel* m_lblWebsite = nullptr;
};
