#pragma once

#include "Platform/OperationQueue.h"
#include "Platform/PowerManager.h"

#include <QDBusConnection>
#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class ConvertOperation;
class LSMedia;
class QComboBox;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QTimer;
class ZKConvertItemCell;
struct Notification;

// The conversion queue window: one job per item on an operation queue, a
// row per item with its progress, and what happens when the run is over
// (summary notification, output folders, sleep or power-off). Shown as a
// window-modal sheet over the main window; everything here runs on the
// interface thread.
class ConvertWndCtl : public QDialog {
    Q_OBJECT

public:
    // The after-conversion choices, by tag.
    enum AfterTag { AfterNotify = 0, AfterSleep = 1, AfterShutDown = 2 };

    // A new controller becomes the shared one.
    explicit ConvertWndCtl(QWidget* parentWindow = nullptr);
    ~ConvertWndCtl() override;

    // The shared controller, created on first use with that parent window.
    static ConvertWndCtl* sharedConvertWndCtl(QWidget* parentWindow = nullptr);
    // The shared controller if one was made; never creates one.
    static ConvertWndCtl* existingConvertWndCtl();

    // The application's quit check: true when it may quit now. With jobs
    // still queued it asks ("OK" quits, "Cancel" keeps running).
    static bool confirmQuitIfBusy(QWidget* parent);

    OperationQueue& queueConvertTask() { return m_queue; }

    // Starts a run of the whole list: every item is queued, whatever its state.
    void flushAndBeginConvert(const QList<std::shared_ptr<LSMedia>>& medias);
    // Shows the window as a window-modal sheet over the parent window.
    void beginSheet(QWidget* parentWindow);

    std::shared_ptr<ConvertOperation> operationWithMedia(const std::shared_ptr<LSMedia>& media) const;
    void convertDidTogglePausePlay(const Notification& note);
    void convertDidClickCancel(const Notification& note);
    void stopDown();
    // Ends the run without summary.
    void clearAllTasks();
    void refreshTimeFired();

    // Controls and state, for the shell and tests.
    QTableView* tbView() const { return m_tbView; }
    QComboBox* pBtnAfterDown() const { return m_pBtnAfterDown; }
    QPushButton* stopButton() const { return m_btnStop; }
    const QList<std::shared_ptr<LSMedia>>& aryMedias() const { return m_aryMedias; }
    // The row view of a row, nullptr when none was made.
    ZKConvertItemCell* rowView(int row) const;
    int iCanceled() const { return m_iCanceled; }
    bool bHasVideo() const { return m_bHasVideo; }
    bool bHasAudio() const { return m_bHasAudio; }
    bool isRunning() const { return m_timerToRefresh != nullptr; }
    bool holdsSleepInhibitor() const { return m_inhibitor.isValid(); }
    // The warning shown before a sleep or power-off request; nullptr when none.
    QMessageBox* powerWarning() const { return m_powerWarning; }
    // The end-of-run summary text for these counts.
    static QString summaryText(int canceled, int failed);

    // Modal alerts: returns the index of the button chosen (0 is the default).
    using AlertHandler
        = std::function<int(QWidget* parent, const QString& title, const QString& message, const QStringList& buttons)>;
    // Tests answer the alerts here; an empty handler restores the message box.
    static void setAlertHandler(AlertHandler handler);

    // Where the end of a run goes; tests put fakes in place. Unset members
    // mean the session bus, the system bus, the workspace's folder opener
    // and a 30-second warning.
    struct EndOfRunTargets {
        std::optional<QDBusConnection> sessionBus; // notifications
        std::optional<QDBusConnection> systemBus; // login manager: sleep, power-off, inhibitor
        std::function<bool(const QString& folder)> openFolder;
        int powerWarningMs = 30000;
    };
    static void setEndOfRunTargetsForTesting(const EndOfRunTargets& targets);

private:
    void awakeFromNib();
    void reloadData();
    void refreshVisibleRows();
    void endSheet();
    void runEnded();
    void warnBeforePowerRequest(int tag);
    void performPowerRequest(int tag);
    void releaseInhibitor();

    OperationQueue m_queue;
    QList<std::shared_ptr<LSMedia>> m_aryMedias;
    QTableView* m_tbView = nullptr;
    QStandardItemModel* m_model = nullptr;
    QComboBox* m_pBtnAfterDown = nullptr;
    QPushButton* m_btnStop = nullptr;
    QTimer* m_timerToRefresh = nullptr;
    QPointer<QMessageBox> m_powerWarning;
    QTimer* m_powerTimer = nullptr;
    int m_iCanceled = 0;
    bool m_bHasVideo = false;
    bool m_bHasAudio = false;
    PowerManager::SleepInhibitor m_inhibitor;
};
