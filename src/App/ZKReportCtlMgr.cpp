#include "App/ZKReportCtlMgr.h"

#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QUrl>

#include <csignal>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ----------------------------------------------------------- crash handler --
// Filled once by installCrashHandler; the handler only reads them.
int g_crashFolderFd = -1;
char g_header[256];
size_t g_headerLength = 0;
constexpr int kCrashSignals[] = { SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL };
constexpr size_t kAltStackSize = 64 * 1024;
volatile sig_atomic_t g_inHandler = 0;

// Appends a decimal number; async-signal-safe.
size_t appendNumber(char* out, size_t at, size_t capacity, unsigned long long value)
{
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value && count < sizeof digits);
    while (count && at + 1 < capacity)
        out[at++] = digits[--count];
    out[at] = '\0';
    return at;
}

size_t appendText(char* out, size_t at, size_t capacity, const char* text)
{
    while (*text && at + 1 < capacity)
        out[at++] = *text++;
    out[at] = '\0';
    return at;
}

void writeAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written <= 0)
            return;
        data += written;
        length -= size_t(written);
    }
}

const char* signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGABRT:
        return "SIGABRT";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    default:
        return "signal";
    }
}

void crashHandler(int signal)
{
    if (!g_inHandler) {
        g_inHandler = 1;
        const unsigned long long now = (unsigned long long)::time(nullptr);
        const unsigned long long pid = (unsigned long long)::getpid();
        char name[96];
        size_t at = appendText(name, 0, sizeof name, "crash-");
        at = appendNumber(name, at, sizeof name, now);
        at = appendText(name, at, sizeof name, "-");
        at = appendNumber(name, at, sizeof name, pid);
        appendText(name, at, sizeof name, ".txt");

        const int fd = ::openat(g_crashFolderFd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            char line[160];
            writeAll(fd, g_header, g_headerLength);
            size_t n = appendText(line, 0, sizeof line, "signal: ");
            n = appendNumber(line, n, sizeof line, (unsigned long long)signal);
            n = appendText(line, n, sizeof line, " (");
            n = appendText(line, n, sizeof line, signalName(signal));
            n = appendText(line, n, sizeof line, ")\npid: ");
            n = appendNumber(line, n, sizeof line, pid);
            n = appendText(line, n, sizeof line, "\ntime: ");
            n = appendNumber(line, n, sizeof line, now);
            n = appendText(line, n, sizeof line, "\n\nbacktrace:\n");
            writeAll(fd, line, n);
            void* frames[128];
            const int count = ::backtrace(frames, 128);
            ::backtrace_symbols_fd(frames, count, fd);
            ::fsync(fd);
            ::close(fd);
        }
    }
    // Let the signal end the process as it would have without us.
    struct sigaction standard { };
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
}

} // namespace

bool ZKReportCtlMgr::installCrashHandler(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (g_crashFolderFd >= 0)
        ::close(g_crashFolderFd);
    g_crashFolderFd = fd;

    const QByteArray header = QStringLiteral("%1 %2 crash report\n")
                                  .arg(GlobalFun::getProductName(), GlobalFun::getAppBuildVersion())
                                  .toUtf8()
                                  .left(sizeof g_header - 1);
    std::memcpy(g_header, header.constData(), size_t(header.size()));
    g_header[header.size()] = '\0';
    g_headerLength = size_t(header.size());

    // The first backtrace() loads the unwinder (which allocates); do it now,
    // not inside the handler.
    void* warmUp[4];
    ::backtrace(warmUp, 4);

    // A stack of its own, so a stack overflow can still be reported.
    static void* altStack = nullptr;
    if (!altStack) {
        altStack = ::malloc(kAltStackSize);
        stack_t stack {};
        stack.ss_sp = altStack;
        stack.ss_size = kAltStackSize;
        ::sigaltstack(&stack, nullptr);
    }

    struct sigaction action { };
    action.sa_handler = crashHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK;
    for (int signal : kCrashSignals)
        ::sigaction(signal, &action, nullptr);
    return true;
}

// ----------------------------------------------------------------- service --

ZKReportCtlMgr& ZKReportCtlMgr::sharedMgr()
{
    // A function-local static is initialised exactly once, even under races.
    static ZKReportCtlMgr instance;
    return instance;
}

QString ZKReportCtlMgr::stateFolder()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/trelvio");
}

QString ZKReportCtlMgr::eventsFilePath()
{
    return stateFolder() + QStringLiteral("/events.jsonl");
}

QString ZKReportCtlMgr::crashFolder()
{
    return stateFolder() + QStringLiteral("/crashes");
}

bool ZKReportCtlMgr::sendingAllowed()
{
    return UserDefaults::standardUserDefaults().boolForKey(ZKReportSendingAllowedKey);
}

void ZKReportCtlMgr::registWithAppIdentitifier(const QString& secret)
{
    QMutexLocker lock(&m_mutex);
    m_secret = secret;
    if (m_started)
        return;
    m_started = true;
    installCrashHandler(crashFolder());
}

bool ZKReportCtlMgr::reportEventID(const QString& name, const QVariantMap& params)
{
    QMutexLocker lock(&m_mutex);
    if (!m_started || name.isEmpty())
        return false;
    if (!QDir().mkpath(stateFolder()))
        return false;
    QJsonObject record;
    record.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    record.insert(QStringLiteral("event"), name);
    record.insert(QStringLiteral("version"), GlobalFun::getAppBuildVersion());
    record.insert(QStringLiteral("params"), QJsonObject::fromVariantMap(params));
    QFile file(eventsFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
    return file.write(line) == line.size();
}

void ZKReportCtlMgr::showFeedBackWindow()
{
    Workspace::sharedWorkspace().openURL(QUrl(ZKContactPageURL));
}
