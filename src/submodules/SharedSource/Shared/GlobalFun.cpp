// Time texts, paths and files, accepted extensions, size fitting and image
// encoding.
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include "Platform/Bookmarks.h"
#include "Platform/ImageCodec.h"
#include "RAZedIruvIvizor/ZKUtils.h"

#include <QDir>
#include <QFile>
#include <QPainter>

#include <QHash>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The value truncated toward zero into a 32-bit integer ("whole seconds").
// Values outside that range stop at its ends and NaN counts as 0, so that no
// input reaches an undefined conversion.
int truncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

// Time texts are for durations and positions: a negative value or NaN shows
// as zero, a value beyond the 32-bit range as its largest whole second.
double displayableSeconds(double value)
{
    if (std::isnan(value) || value < 0)
        return 0;
    return std::min(value, static_cast<double>(INT_MAX));
}

QString twoDigits(int value)
{
    return QString::asprintf("%02d", value);
}

// The extension as a path's last component shows it: the text after the
// last dot, unless that dot starts the name (".profile" has none).
QString pathExtension(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1)
        return {};
    return path.mid(dot + 1);
}

QString deletingPathExtension(const QString& path)
{
    const QString ext = pathExtension(path);
    return ext.isEmpty() ? path : path.left(path.size() - ext.size() - 1);
}

// Anything at the path, a dangling symbolic link included: a name that is
// taken by a link must not be handed out either.
bool somethingExists(const QString& path)
{
    struct stat st { };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// The longest leading decimal number of `text` (blanks before it skipped);
// 0 when there is none.
double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    QByteArray digits;
    qsizetype j = i;
    auto isDigit = [&](qsizetype k) { return k < text.size() && text[k] >= u'0' && text[k] <= u'9'; };
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
        ++j;
    const qsizetype signEnd = j;
    while (isDigit(j))
        ++j;
    bool anyDigit = j > signEnd;
    if (j < text.size() && text[j] == u'.') {
        qsizetype k = j + 1;
        while (isDigit(k))
            ++k;
        if (k > j + 1 || anyDigit) {
            anyDigit = anyDigit || k > j + 1;
            j = k;
        }
    }
    if (!anyDigit)
        return 0;
    if (j < text.size() && (text[j] == u'e' || text[j] == u'E')) {
        qsizetype k = j + 1;
        if (k < text.size() && (text[k] == u'+' || text[k] == u'-'))
            ++k;
        if (isDigit(k)) {
            while (isDigit(k))
                ++k;
            j = k;
        }
    }
    digits = text.mid(i, j - i).toLatin1();
    const char* begin = digits.constData();
    if (*begin == '+')
        ++begin;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(begin, digits.constData() + digits.size(), value);
    if (ec != std::errc() || !std::isfinite(value))
        return 0;
    return value;
}

struct FolderId {
    dev_t device;
    ino_t inode;
    bool operator<(const FolderId& other) const
    {
        return std::pair(device, inode) < std::pair(other.device, other.inode);
    }
};

void listFolder(const QString& folder, const QStringList& filter, std::set<FolderId>& visited, QStringList& result)
{
    const QByteArray nativeFolder = QFile::encodeName(folder);
    DIR* dir = ::opendir(nativeFolder.constData());
    if (!dir)
        return;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    // Entries first, recursion after: a deep tree keeps one folder open at
    // a time.
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        names.emplace_back(name);
    }
    ::closedir(dir);

    for (const QByteArray& name : names) {
        // A name that is not valid in the file system's encoding cannot be
        // given back as text that still names the file; it is left out.
        const QString decoded = QFile::decodeName(name);
        if (QFile::encodeName(decoded) != name)
            continue;
        const QString path = prefix + decoded;
        struct stat st { };
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            continue; // kind unreadable (a dangling link, no permission)
        if (S_ISDIR(st.st_mode)) {
            // Each folder is listed once, however many links lead to it; this
            // also ends link loops.
            if (!visited.insert(FolderId { st.st_dev, st.st_ino }).second)
                continue;
            listFolder(path, filter, visited, result);
        } else {
            const QString ext = pathExtension(decoded);
            for (const QString& wanted : filter) {
                if (ext.compare(wanted, Qt::CaseInsensitive) == 0) {
                    result << path;
                    break;
                }
            }
        }
    }
}

} // namespace

// ------------------------------------------------------- time and text ----

void GlobalFun::getHour(int* hour, int* minite, int* second, double time)
{
    const int t = truncateToInt(time);
    if (hour)
        *hour = t / 3600;
    if (minite)
        *minite = (t % 3600) / 60;
    if (second)
        *second = t % 60;
}

QString GlobalFun::getTimeStringBySecond(double seconds)
{
    int h = 0, m = 0, s = 0;
    getHour(&h, &m, &s, displayableSeconds(seconds));
    QString text;
    if (h >= 0)
        text += twoDigits(h) + QLatin1Char(':');
    return text + twoDigits(m) + QLatin1Char(':') + twoDigits(s);
}

QString GlobalFun::getMTimeStringBySecond(double seconds)
{
    const double x = displayableSeconds(seconds);
    int h = 0, m = 0, s = 0;
    getHour(&h, &m, &s, x);
    QString text;
    if (truncateToInt(x) >= 3600)
        text += twoDigits(h) + QLatin1Char(':');
    return text + twoDigits(m) + QLatin1Char(':') + twoDigits(s);
}

QString GlobalFun::getMMSSMSTimeStr(double seconds)
{
    const double x = displayableSeconds(seconds);
    const int t = truncateToInt(x);
    // A hair of tolerance so that a value such as 59.9, stored as
    // 59.8999..., still shows its ".90".
    const int hundredths = std::min(99, truncateToInt((x - t) * 100.0 + 1e-6));
    return QString::asprintf("%02d:%02d.%02d", t / 60, t % 60, hundredths);
}

QString GlobalFun::getEstimateStrBySecond(double seconds)
{
    const double x = displayableSeconds(seconds);
    if (x < 60) {
        const char* unit = x > 1 ? "seconds" : "second";
        return QString::asprintf("%0.0f %s remaining", x, unit);
    }
    if (x < 3600) {
        const int t = truncateToInt(x);
        const int m = t / 60;
        const char* minuteUnit = t > 119 ? "minites" : "minite";
        const int s = truncateToInt(x - 60.0 * m) % 60;
        const char* secondUnit = s > 1 ? "seconds" : "second";
        return QString::asprintf("%d %s %d %s remaining", m, minuteUnit, s, secondUnit);
    }
    const int t = truncateToInt(x);
    const int h = t / 3600;
    const char* hourUnit = t > 7199 ? "hours" : "hour";
    const int r = truncateToInt(x - 3600.0 * h);
    const char* minuteUnit = r > 119 ? "minites" : "minite";
    return QString::asprintf("%d %s %d %s remaining", h, hourUnit, r / 60, minuteUnit);
}

double GlobalFun::getSecondsByTimeString(const QString& text)
{
    static constexpr double kWeights[3] = { 3600.0, 60.0, 1.0 };
    const QList<QStringView> parts = QStringView(text).split(QLatin1Char(':'));
    double total = 0;
    for (qsizetype i = 0; i < parts.size() && i < 3; ++i)
        total += leadingNumber(parts[i]) * kWeights[i];
    return total;
}

QString GlobalFun::encodedURLParameterString(const QString& text)
{
    // Everything but letters, digits and "-._~" is escaped, so the value can
    // carry any character (":/=+&;#%" included) without changing the query.
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// ---------------------------------------------------------- paths, files ----

bool GlobalFun::MakeSureFolderExsist(const QString& path)
{
    if (path.isEmpty())
        return false;
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    return QDir().mkpath(path);
}

QString GlobalFun::makeSureFullPathIdentical(const QString& path, const QString& extension)
{
    QString current = path;
    if (!extension.isEmpty() && pathExtension(current) != extension)
        current += QLatin1Char('.') + extension;
    if (!somethingExists(current))
        return current;

    // The "(n)" marker is looked for and replaced in the file name only; a
    // folder whose name holds a marker keeps its name.
    const qsizetype slash = current.lastIndexOf(QLatin1Char('/'));
    const QString folder = current.left(slash + 1);
    QString name = current.mid(slash + 1);
    for (int n = 1; n < INT_MAX;) {
        const QString ext = pathExtension(name);
        QString base = deletingPathExtension(name);
        const QString marker = QStringLiteral("(%1)").arg(n);
        if (!name.contains(marker)) {
            base += marker;
        } else {
            ++n;
            base.replace(marker, QStringLiteral("(%1)").arg(n));
        }
        name = ext.isEmpty() ? base : base + QLatin1Char('.') + ext;
        if (!somethingExists(folder + name))
            return folder + name;
    }
    return {};
}

QStringList GlobalFun::fileListAtDirenctory(const QString& folder, const QStringList& filter)
{
    QStringList result;
    if (folder.isEmpty())
        return result;
    std::set<FolderId> visited;
    struct stat st { };
    if (::stat(QFile::encodeName(folder).constData(), &st) == 0)
        visited.insert(FolderId { st.st_dev, st.st_ino });
    listFolder(folder, filter, visited, result);
    return result;
}

QString GlobalFun::RealHomeDirectory()
{
    // The account database's home; when the current user has no entry there
    // (a container started with an unknown uid), $HOME; empty when neither.
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    std::vector<char> buffer(static_cast<size_t>(size));
    passwd pwd {};
    passwd* found = nullptr;
    int rc = 0;
    while ((rc = ::getpwuid_r(::getuid(), &pwd, buffer.data(), buffer.size(), &found)) == ERANGE
        && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (rc == 0 && found && found->pw_dir && *found->pw_dir)
        return QFile::decodeName(found->pw_dir);
    return qEnvironmentVariable("HOME");
}

QByteArray GlobalFun::BookmarkDataForURL(const QUrl& url)
{
    if (!url.isValid() || !url.isLocalFile())
        return {};
    return Bookmarks::bookmarkDataForPath(url.toLocalFile());
}

QString GlobalFun::getFFMpegPath()
{
    return ZKUtils::getFFMpegPath();
}

QStringList GlobalFun::getSupportedFmts()
{
    static const QStringList formats = {
        QStringLiteral("wmv"),
        QStringLiteral("rm"),
        QStringLiteral("mpg"),
        QStringLiteral("mpeg"),
        QStringLiteral("ts"),
        QStringLiteral("mts"),
        QStringLiteral("avi"),
        QStringLiteral("mkv"),
        QStringLiteral("mov"),
        QStringLiteral("flv"),
        QStringLiteral("mp4"),
        QStringLiteral("rmvb"),
        QStringLiteral("vob"),
        QStringLiteral("m4v"),
        QStringLiteral("3gp"),
        QStringLiteral("nsv"),
        QStringLiteral("ogm"),
        QStringLiteral("asf"),
        QStringLiteral("f4v"),
        QStringLiteral("swf"),
        QStringLiteral("mp3"),
        QStringLiteral("wav"),
        QStringLiteral("m4a"),
        QStringLiteral("ape"),
        QStringLiteral("ogg"),
        QStringLiteral("flac"),
        QStringLiteral("aac"),
        QStringLiteral("wma"),
        QStringLiteral("ac3"),
        QStringLiteral("amr"),
        QStringLiteral("m4r"),
        QStringLiteral("mp2"),
        QStringLiteral("dsd"),
    };
    return formats;
}

// ------------------------------------------------------ images, geometry ----

QSizeF GlobalFun::getSizeWithOrigin(QSizeF size, QSizeF max)
{
    return getSizeWithOrigin(size, max, nullptr);
}

QSizeF GlobalFun::getSizeWithOrigin(QSizeF size, QSizeF max, double* rate)
{
    // A zero side against a zero bound fits (0/0 counts as 0, not NaN).
    auto ratio = [](double value, double bound) {
        const double r = value / bound;
        return std::isnan(r) && value == 0 ? 0.0 : r;
    };
    const double rw = ratio(size.width(), max.width());
    const double rh = ratio(size.height(), max.height());
    if (rw <= 1 && rh <= 1)
        return size;
    const double divisor = rw > rh ? rw : rh;
    if (rate)
        *rate = divisor;
    return QSizeF(size.width() / divisor, size.height() / divisor);
}

QByteArray GlobalFun::image(const QImage& image, const QString& type)
{
    static const QHash<QString, ImageCodec::Format> types = {
        { QStringLiteral("tif"), ImageCodec::Format::TIFF },
        { QStringLiteral("tiff"), ImageCodec::Format::TIFF },
        { QStringLiteral("TIF"), ImageCodec::Format::TIFF },
        { QStringLiteral("TIFF"), ImageCodec::Format::TIFF },
        { QStringLiteral("bmp"), ImageCodec::Format::BMP },
        { QStringLiteral("BMP"), ImageCodec::Format::BMP },
        { QStringLiteral("gif"), ImageCodec::Format::GIF },
        { QStringLiteral("GIF"), ImageCodec::Format::GIF },
        { QStringLiteral("jpg"), ImageCodec::Format::JPEG },
        { QStringLiteral("jpeg"), ImageCodec::Format::JPEG },
        { QStringLiteral("JPG"), ImageCodec::Format::JPEG },
        { QStringLiteral("JPEG"), ImageCodec::Format::JPEG },
        { QStringLiteral("jpg2000"), ImageCodec::Format::JPEG2000 },
        { QStringLiteral("jpeg2000"), ImageCodec::Format::JPEG2000 },
        { QStringLiteral("JPG2000"), ImageCodec::Format::JPEG2000 },
        { QStringLiteral("JPEG2000"), ImageCodec::Format::JPEG2000 },
        { QStringLiteral("png"), ImageCodec::Format::PNG },
        { QStringLiteral("PNG"), ImageCodec::Format::PNG },
    };
    const auto it = types.constFind(type);
    if (it == types.constEnd() || image.isNull())
        return {};

    // The bitmap: 8-bit RGBA, as large as the picture in device-independent
    // pixels, the picture copied into it at full opacity.
    const QSizeF points = image.deviceIndependentSize();
    const int w = truncateToInt(points.width());
    const int h = truncateToInt(points.height());
    if (w <= 0 || h <= 0)
        return {};
    QImage bitmap(w, h, QImage::Format_RGBA8888);
    if (bitmap.isNull())
        return {};
    if (w == image.width() && h == image.height()) {
        bitmap = image.convertToFormat(QImage::Format_RGBA8888);
        bitmap.setDevicePixelRatio(1.0);
    } else {
        bitmap.fill(Qt::transparent);
        QPainter painter(&bitmap);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QImage source = image;
        source.setDevicePixelRatio(1.0);
        painter.drawImage(QRectF(0, 0, w, h), source);
    }
    return ImageCodec::encode(bitmap, *it);
}
