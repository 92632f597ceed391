#include "Common/WindowController/ConvertWndCtl.h"

#include "Convert/ConvertOperation.h"
#include "Convert/ScriptBridgeHelper.h"
#include "Convert/ZKLocalNotificationMgr.h"
#include "Media/LSMedia.h"
#include "Platform/NotificationCenter.h"
#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"
#include "Settings/SettingsKeys.h"
#include "Views/ZKConvertItemCell.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kRowHeight = 66;

QPointer<ConvertWndCtl>& sharedPointer()
{
    static QPointer<ConvertWndCtl> shared;
    return shared;
}

int showMessageBox(QWidget* parent, const QString& title, const QString& message, const QStringList& buttons)
{
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(message);
    QList<QAbstractButton*> made;
    for (int i = 0; i < buttons.size(); ++i) {
        QPushButton* b = box.addButton(buttons.at(i), i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        if (i == 0)
            box.setDefaultButton(b);
        made << b;
    }
    box.exec();
    const qsizetype index = made.indexOf(box.clickedButton());
    return index < 0 ? int(buttons.size()) - 1 : int(index);
}

ConvertWndCtl::AlertHandler& alertHandler()
{
    static ConvertWndCtl::AlertHandler handler = showMessageBox;
    return handler;
}

ConvertWndCtl::EndOfRunTargets& targets()
{
    static ConvertWndCtl::EndOfRunTargets t;
    return t;
}

// The quit and stop confirmation: true for "OK".
bool confirmUnfinished(QWidget* parent)
{
    const QString title = ConvertWndCtl::tr("Alert");
    const QString message = ConvertWndCtl::tr("Some task is not completed! Sure to quit?");
    return alertHandler()(parent, title, message, { ConvertWndCtl::tr("OK"), ConvertWndCtl::tr("Cancel") }) == 0;
}

bool openFolder(const QString& folder)
{
    if (targets().openFolder)
        return targets().openFolder(folder);
    return Workspace::sharedWorkspace().openFolder(folder);
}

} // namespace

ConvertWndCtl::ConvertWndCtl(QWidget* parentWindow)
    : QDialog(parentWindow)
{
    m_queue.setMaxConcurrentOperationCount(2);
    sharedPointer() = this;
    awakeFromNib();
}

ConvertWndCtl::~ConvertWndCtl()
{
    clearAllTasks();
    m_queue.cancelAllOperations();
    m_queue.waitUntilAllOperationsAreFinished();
    if (sharedPointer() == this)
        sharedPointer() = nullptr;
}

ConvertWndCtl* ConvertWndCtl::sharedConvertWndCtl(QWidget* parentWindow)
{
    if (!sharedPointer())
        new ConvertWndCtl(parentWindow);
    return sharedPointer();
}

ConvertWndCtl* ConvertWndCtl::existingConvertWndCtl()
{
    return sharedPointer();
}

bool ConvertWndCtl::confirmQuitIfBusy(QWidget* parent)
{
    ConvertWndCtl* shared = existingConvertWndCtl();
    if (!shared || shared->queueConvertTask().operationCount() == 0)
        return true;
    return confirmUnfinished(parent);
}

void ConvertWndCtl::setAlertHandler(AlertHandler handler)
{
    alertHandler() = handler ? std::move(handler) : AlertHandler(showMessageBox);
}

void ConvertWndCtl::setEndOfRunTargetsForTesting(const EndOfRunTargets& t)
{
    targets() = t;
    ZKLocalNotificationMgr::setSessionBusForTesting(t.sessionBus);
    ScriptBridgeHelper::setSystemBusForTesting(t.systemBus);
}

void ConvertWndCtl::awakeFromNib()
{
    setWindowTitle(tr("Converting"));
    setObjectName(QStringLiteral("ConvertWnd"));
    resize(560, 420);

    m_model = new QStandardItemModel(0, 1, this);
    m_model->setHorizontalHeaderLabels({ tr("Progress") });
    m_tbView = new QTableView(this);
    m_tbView->setModel(m_model);
    m_tbView->setSelectionMode(QAbstractItemView::NoSelection);
    m_tbView->setFocusPolicy(Qt::NoFocus);
    m_tbView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tbView->horizontalHeader()->hide();
    m_tbView->horizontalHeader()->setStretchLastSection(true);
    m_tbView->verticalHeader()->hide();
    m_tbView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_tbView->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_tbView->setShowGrid(false);
    m_tbView->setAlternatingRowColors(true);
    m_tbView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Rows that scroll into view show their item afresh.
    connect(m_tbView->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { refreshVisibleRows(); });

    m_pBtnAfterDown = new QComboBox(this);
    m_pBtnAfterDown->addItem(tr("Notify me when done"), int(AfterNotify));
    m_pBtnAfterDown->addItem(tr("Sleep when done"), int(AfterSleep));
    m_pBtnAfterDown->addItem(tr("Shut down when done"), int(AfterShutDown));
    m_btnStop = new QPushButton(tr("Stop"), this);
    m_btnStop->setAutoDefault(false);
    connect(m_btnStop, &QPushButton::clicked, this, [this] { stopDown(); });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(tr("After conversion:"), this));
    bottom->addWidget(m_pBtnAfterDown);
    bottom->addStretch(1);
    bottom->addWidget(m_btnStop);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tbView, 1);
    layout->addLayout(bottom);

    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(
        LSConvertDidTogglePausePlayNotification, this, [this](const Notification& n) { convertDidTogglePausePlay(n); });
    center.addObserver(
        LSConvertDidClickCancelNotification, this, [this](const Notification& n) { convertDidClickCancel(n); });
}

void ConvertWndCtl::reloadData()
{
    m_model->setRowCount(0);
    m_model->setRowCount(int(m_aryMedias.size()));
    for (int row = 0; row < m_aryMedias.size(); ++row) {
        auto* cell = new ZKConvertItemCell;
        cell->setObjectValue(m_aryMedias.at(row));
        m_tbView->setIndexWidget(m_model->index(row, 0), cell);
    }
}

ZKConvertItemCell* ConvertWndCtl::rowView(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return nullptr;
    return dynamic_cast<ZKConvertItemCell*>(m_tbView->indexWidget(m_model->index(row, 0)));
}

void ConvertWndCtl::flushAndBeginConvert(const QList<std::shared_ptr<LSMedia>>& medias)
{
    // A warning left from the previous run must not act on this one.
    if (m_powerTimer)
        m_powerTimer->stop();
    if (m_powerWarning)
        m_powerWarning->close();

    m_aryMedias = medias;
    reloadData();
    m_iCanceled = 0;
    // A stored limit that is not a positive number runs one job at a time.
    const qint64 limit = UserDefaults::standardUserDefaults().integerForKey(AppMaxConvertNumKey);
    m_queue.setMaxConcurrentOperationCount(int(std::clamp<qint64>(limit, 1, 64)));
    m_bHasAudio = m_bHasVideo = false;
    for (const auto& media : std::as_const(m_aryMedias)) {
        if (media->eumDestFmtType == DestFmtTypeAudio)
            m_bHasAudio = true;
        else
            m_bHasVideo = true;
        media->dProgress = 0.0f;
        m_queue.addOperation(std::make_shared<ConvertOperation>(media));
    }

    if (!m_inhibitor.isValid() && !m_aryMedias.isEmpty()) {
        PowerManager power(targets().systemBus ? *targets().systemBus : QDBusConnection::systemBus());
        m_inhibitor = power.inhibitIdleSleep(tr("Converting %n files", nullptr, int(m_aryMedias.size())));
    }

    delete m_timerToRefresh;
    m_timerToRefresh = new QTimer(this);
    m_timerToRefresh->setInterval(1000);
    connect(m_timerToRefresh, &QTimer::timeout, this, [this] { refreshTimeFired(); });
    m_timerToRefresh->start();
}

void ConvertWndCtl::beginSheet(QWidget* parentWindow)
{
    if (parentWindow && parentWidget() != parentWindow->window())
        setParent(parentWindow->window(), windowFlags() | Qt::Sheet);
    setWindowModality(Qt::WindowModal);
    show();
    raise();
    activateWindow();
}

void ConvertWndCtl::endSheet()
{
    hide();
}

std::shared_ptr<ConvertOperation> ConvertWndCtl::operationWithMedia(const std::shared_ptr<LSMedia>& media) const
{
    if (!media)
        return nullptr;
    for (const auto& op : m_queue.operations()) {
        auto job = std::dynamic_pointer_cast<ConvertOperation>(op);
        if (job && job->mediaToConvert() == media)
            return job;
    }
    return nullptr;
}

void ConvertWndCtl::convertDidTogglePausePlay(const Notification& note)
{
    auto* cell = static_cast<ZKConvertItemCell*>(const_cast<void*>(note.object));
    const ZKConvertItemCell* known = nullptr;
    for (int row = 0; row < m_model->rowCount() && !known; ++row)
        if (rowView(row) == cell)
            known = cell;
    if (!known || !known->objectValue())
        return;
    const std::shared_ptr<LSMedia> media = known->objectValue();
    const eumCvtState state = media->cvtState();
    if (state == CvtStateWaiting || state == CvtStateFailed || state == CvtStateCanceled)
        return;
    const std::shared_ptr<ConvertOperation> job = operationWithMedia(media);
    if (!job)
        return;
    if (state == CvtStatePaused)
        job->resume();
    else if (state == CvtStateConverting)
        job->pause();
    const_cast<ZKConvertItemCell*>(known)->refreshDisplay();
}

void ConvertWndCtl::convertDidClickCancel(const Notification& note)
{
    const ZKConvertItemCell* known = nullptr;
    for (int row = 0; row < m_model->rowCount() && !known; ++row)
        if (rowView(row) == note.object)
            known = rowView(row);
    if (!known || !known->objectValue())
        return;
    const std::shared_ptr<LSMedia> media = known->objectValue();
    const eumCvtState state = media->cvtState();
    if (state == CvtStateFailed || state == CvtStateCanceled)
        return;
    if (const std::shared_ptr<ConvertOperation> job = operationWithMedia(media)) {
        job->cancel();
        ++m_iCanceled;
    }
    const_cast<ZKConvertItemCell*>(known)->refreshDisplay();
}

void ConvertWndCtl::stopDown()
{
    if (m_queue.operationCount() > 0 && !confirmUnfinished(this))
        return;
    clearAllTasks();
    endSheet();
}

void ConvertWndCtl::clearAllTasks()
{
    delete m_timerToRefresh;
    m_timerToRefresh = nullptr;
    m_queue.cancelAllOperations();
    m_aryMedias.clear();
    if (m_model)
        reloadData();
    releaseInhibitor();
}

void ConvertWndCtl::releaseInhibitor()
{
    m_inhibitor.release();
}

void ConvertWndCtl::refreshVisibleRows()
{
    const int rows = m_model->rowCount();
    if (rows == 0)
        return;
    const int viewportHeight = m_tbView->viewport()->height();
    int first = m_tbView->rowAt(0);
    int last = m_tbView->rowAt(viewportHeight - 1);
    if (first < 0)
        return; // nothing visible
    if (last < 0)
        last = rows - 1;
    for (int row = first; row <= last; ++row)
        if (ZKConvertItemCell* cell = rowView(row))
            cell->refreshDisplay();
}

void ConvertWndCtl::refreshTimeFired()
{
    refreshVisibleRows();
    // Only the queue's own count decides that the run is over.
    if (m_queue.operationCount() > 0)
        return;
    runEnded();
}

QString ConvertWndCtl::summaryText(int canceled, int failed)
{
    QString title = tr("All tasks finished");
    if (canceled > 0)
        title += tr(", Except %d tasks were canceled!").replace(QLatin1String("%d"), QString::number(canceled));
    if (failed > 0) {
        const QString piece = canceled > 0 ? tr(" %d tasks failed!") : tr(", %d tasks failed!");
        title += QString(piece).replace(QLatin1String("%d"), QString::number(failed));
    }
    return title;
}

void ConvertWndCtl::runEnded()
{
    delete m_timerToRefresh;
    m_timerToRefresh = nullptr;
    releaseInhibitor();
    endSheet();

    const int count = int(m_aryMedias.size());
    if (m_iCanceled == count) {
        // Every job was cancelled by the user: nothing more to do.
        clearAllTasks();
        return;
    }
    const int failed = int(std::count_if(
        m_aryMedias.cbegin(), m_aryMedias.cend(), [](const auto& m) { return m->cvtState() == CvtStateFailed; }));
    const int canceled = m_iCanceled;
    clearAllTasks();

    const int tag = m_pBtnAfterDown->currentData().toInt();
    if (tag == AfterNotify)
        ZKLocalNotificationMgr::sharedMgr().postWithTitle(summaryText(canceled, failed), QString());

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    if (m_bHasAudio)
        openFolder(defaults.stringForKey(AppAudioOutputFolderKey));
    if (m_bHasVideo)
        openFolder(defaults.stringForKey(AppVideoOutputFolderKey));

    if (tag == AfterSleep || tag == AfterShutDown)
        warnBeforePowerRequest(tag);
}

void ConvertWndCtl::warnBeforePowerRequest(int tag)
{
    // Nobody may be watching: the request waits for a warning the user can cancel.
    const int warningMs = std::max(0, targets().powerWarningMs);
    auto* box = new QMessageBox(parentWidget() ? parentWidget() : this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(tr("Alert"));
    auto warningText = [tag](int seconds) {
        return tag == AfterSleep
            ? tr("The conversion is over. The computer will sleep in %n seconds.", nullptr, seconds)
            : tr("The conversion is over. The computer will shut down in %n seconds.", nullptr, seconds);
    };
    box->setText(warningText((warningMs + 999) / 1000));
    box->setStandardButtons(QMessageBox::Cancel);
    m_powerWarning = box;
    // The seconds left count down in the warning; the countdown goes with the box.
    auto* countdown = new QTimer(box);
    countdown->setInterval(1000);
    auto deadline = std::make_shared<QDeadlineTimer>(warningMs);
    connect(countdown, &QTimer::timeout, box,
        [box, deadline, warningText] { box->setText(warningText(int((deadline->remainingTime() + 999) / 1000))); });
    countdown->start();

    delete m_powerTimer;
    m_powerTimer = new QTimer(this);
    m_powerTimer->setSingleShot(true);
    connect(m_powerTimer, &QTimer::timeout, this, [this, tag] {
        if (m_powerWarning)
            m_powerWarning->close();
        performPowerRequest(tag);
    });
    QTimer* timer = m_powerTimer;
    connect(box, &QMessageBox::rejected, timer, &QTimer::stop);
    connect(box, &QMessageBox::finished, timer, &QTimer::stop);
    m_powerTimer->start(warningMs);
    box->open();
}

void ConvertWndCtl::performPowerRequest(int tag)
{
    if (tag == AfterShutDown)
        ScriptBridgeHelper::tellFinderToShutup();
    else if (tag == AfterSleep)
        ScriptBridgeHelper::tellFinderToSleep();
}
