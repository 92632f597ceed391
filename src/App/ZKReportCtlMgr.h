#pragma once

#include <QMutex>
#include <QString>
#include <QVariantMap>

// The usage-and-crash-report service, kept on this computer. Events are
// appended as JSON lines to $XDG_STATE_HOME/trelvio/events.jsonl; a crash
// (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL) writes a report with a backtrace
// to $XDG_STATE_HOME/trelvio/crashes/crash-<time>-<pid>.txt and then lets the
// signal end the process as it would have.
//
// Nothing leaves the computer. Sending is allowed only when the user turns
// on "ZKReportSendingAllowedKey" (off by default), and even then no sending
// backend exists yet: the files stay where they are for the user to read or
// attach to a message.
inline const QString ZKReportSendingAllowedKey = QStringLiteral("ZKReportSendingAllowedKey");
// The application secret handed to registWithAppIdentitifier at launch.
inline const QString ZKReportAppSecret = QStringLiteral("5c1f6a2e-8d3b-4f7a-9e21-0b6d4c8a7f13");
// The contact page opened by showFeedBackWindow.
inline const QString ZKContactPageURL = QStringLiteral("https://trelvio.io/contact");

class ZKReportCtlMgr {
public:
    // Created once, even when first called from several threads at once.
    static ZKReportCtlMgr& sharedMgr();

    // Starts the service: events are recorded from now on and the crash
    // handler is in place. Later calls change only the secret.
    void registWithAppIdentitifier(const QString& secret);
    // Appends one event with its properties; false when it could not be written
    // (or the service was not started). Any thread.
    bool reportEventID(const QString& name, const QVariantMap& params = {});
    // Opens the contact page in the default browser.
    void showFeedBackWindow();
    // Nothing to send: events are kept locally.
    void submitEvents() { }

    // Whether the user allowed sending (never true unless they opted in).
    static bool sendingAllowed();

    // $XDG_STATE_HOME/trelvio, its events file and its crash folder.
    static QString stateFolder();
    static QString eventsFilePath();
    static QString crashFolder();

    // Puts the crash handler in place for the given folder (created when
    // missing). Everything the handler needs is prepared here, so at crash
    // time it calls only async-signal-safe functions. False when the folder
    // cannot be opened.
    static bool installCrashHandler(const QString& folder);

private:
    ZKReportCtlMgr() = default;

    QMutex m_mutex;
    QString m_secret;
    bool m_started = false;
};
