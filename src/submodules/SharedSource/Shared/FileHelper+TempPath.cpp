// The private per-user temporary folder.
#include "submodules/SharedSource/Shared/FileHelper.h"

#include <QDir>
#include <QFile>
#include <QMutex>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder we may trust: a real directory (not a link), owned by us, and
// reachable by nobody else.
bool isPrivateFolder(const QByteArray& path)
{
    struct stat st {};
    if (lstat(path.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid())
        return false;
    if ((st.st_mode & 0077) != 0 && chmod(path.constData(), 0700) != 0)
        return false;
    return true;
}

}  // namespace

QString FileHelper::getTemporaryPath()
{
    static QMutex mutex;
    static QString cached;
    QMutexLocker lock(&mutex);
    if (!cached.isEmpty() && isPrivateFolder(QFile::encodeName(cached)))
        return cached;

    const QString base = QDir::tempPath();
    const QString wanted = base + QStringLiteral("/trelvio-%1").arg(geteuid());
    const QByteArray encoded = QFile::encodeName(wanted);
    if (mkdir(encoded.constData(), 0700) == 0 || errno == EEXIST) {
        if (isPrivateFolder(encoded)) {
            cached = wanted;
            return cached;
        }
    }
    // Someone else holds the usual name (or it is not a folder): make a fresh
    // private folder with an unpredictable name instead.
    QByteArray tmpl = QFile::encodeName(base + QStringLiteral("/trelvio-%1-XXXXXX").arg(geteuid()));
    if (mkdtemp(tmpl.data())) {
        cached = QFile::decodeName(tmpl);
        return cached;
    }
    return base;
}
