#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

class QNetworkAccessManager;
class UserDefaults;

// The online configuration: at launch the application asks its configuration
// server for a small JSON document carrying the experimental switch and keeps
// the answer under "ExperimentalKey". At most one request goes out per 60
// seconds; a launch without network, a transport error or an empty body
// changes nothing. Interface thread only (the reply arrives through its
// event loop).
//
// The server's base address is read from "ZKConfigServerURLKey" (a string
// such as "http://127.0.0.1:8080"); without one, kDefaultConfigServerURL is
// used. The request goes to <base>/common_task/getconfig.php.
inline constexpr const char* kDefaultConfigServerURL = "http://config.trelvio.io";
inline const QString ZKConfigServerURLKey = QStringLiteral("ZKConfigServerURLKey");
inline const QString ZKExperimentalConfigDidChangeNotificatin
    = QStringLiteral("ZKExperimentalConfigDidChangeNotificatin");

class ZKConfigManager : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    // The process-wide manager on the standard settings store.
    static ZKConfigManager& sharedInstance();

    // `defaults` must outlive the manager; null means the standard store.
    explicit ZKConfigManager(UserDefaults* defaults = nullptr, QObject* parent = nullptr);
    ~ZKConfigManager() override;

    // Requests the configuration unless a request was started less than 60
    // seconds ago. True when a request was started.
    bool getOnlineConfig();
    // Builds the address and starts the request (no time check).
    void doGetOnlineConfig();
    // Reads the switch from a response body and stores it; an empty body is
    // ignored, a body without the member counts as true.
    void parseResponseData(const QByteArray& data);

    // The experimental switch as the rest of the program sees it: always on.
    bool experimental() const;
    // Stores the switch and posts ZKExperimentalConfigDidChangeNotificatin
    // when it differs from what experimental() reported.
    void setExperimental(bool value);

    // The full request address for the current settings.
    QUrl configURL() const;

    // The time source of the 60-second rule (tests put their own clock in).
    void setClock(Clock clock);
    // How long a request may take before it is given up (milliseconds).
    void setTransferTimeout(int milliseconds);

    // The text left when markup is taken out of an HTML page (tags removed,
    // the common entities decoded).
    static QString strippedOfMarkup(const QString& html);

signals:
    // The request has ended, whatever its outcome (after the answer was read).
    void requestFinished();

private:
    QDateTime now() const;

    UserDefaults& m_defaults;
    QNetworkAccessManager* m_network = nullptr;
    Clock m_clock;
    std::optional<QDateTime> m_lastRequest;
    int m_transferTimeoutMs = 8000;
};
