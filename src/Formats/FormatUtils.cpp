#include "Formats/FormatUtils.h"

#include "Media/LSMedia.h"
#include "Settings/GlobalResources.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QTimeZone>

#include <plist/plist.h>

#include <charconv>
#include <climits>
#include <cstdlib>

namespace {

// The catalogue is a few tens of kilobytes; anything far larger is not ours.
constexpr qint64 kMaxCatalogueBytes = 16 * 1024 * 1024;
constexpr int kMaxNesting = 32;

QVariant variantFromPlist(plist_t node, int depth)
{
    if (!node || depth > kMaxNesting)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return QVariant(b != 0);
    }
    case PLIST_UINT: {
        // Negative XML integers come back in two's complement.
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return QVariant(static_cast<qint64>(v));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return QVariant(d);
    }
    case PLIST_STRING: {
        uint64_t len = 0;
        const char* p = plist_get_string_ptr(node, &len);
        return QVariant(p ? QString::fromUtf8(p, static_cast<qsizetype>(len)) : QString());
    }
    case PLIST_DATA: {
        uint64_t len = 0;
        const char* p = plist_get_data_ptr(node, &len);
        return QVariant(p ? QByteArray(p, static_cast<qsizetype>(len)) : QByteArray());
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        // Property-list dates count from 2001-01-01 UTC.
        const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
        return QVariant(epoch.addMSecs(qint64(sec) * 1000 + usec / 1000));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        list.reserve(n);
        for (uint32_t i = 0; i < n; ++i)
            list.append(variantFromPlist(plist_array_get_item(node, i), depth + 1));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return map;
        for (;;) {
            char* key = nullptr;
            plist_t val = nullptr;
            plist_dict_next_item(node, it, &key, &val);
            if (!val) {
                std::free(key);
                break;
            }
            if (key)
                map.insert(QString::fromUtf8(key), variantFromPlist(val, depth + 1));
            std::free(key);
        }
        std::free(it);
        return map;
    }
    default:
        return {};
    }
}

std::optional<QVariantMap> readPlistDictionary(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxCatalogueBytes)
        return std::nullopt;
    const QByteArray bytes = file.read(kMaxCatalogueBytes);
    if (bytes.isEmpty())
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root)
        return std::nullopt;
    std::optional<QVariantMap> result;
    if (plist_get_node_type(root) == PLIST_DICT)
        result = variantFromPlist(root, 0).toMap();
    plist_free(root);
    return result;
}

// Only dictionaries are profiles; anything else in a profile array is left out.
QVariantList profileList(const QVariant& value)
{
    QVariantList profiles;
    if (value.metaType().id() != QMetaType::QVariantList)
        return profiles;
    for (const QVariant& v : value.toList()) {
        if (v.metaType().id() == QMetaType::QVariantMap)
            profiles.append(v);
    }
    return profiles;
}

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

qsizetype skipBlanks(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return i;
}

QString format2(double v)
{
    return QString::asprintf("%0.2f", v);
}

} // namespace

FormatUtils& FormatUtils::sharedInstance()
{
    // A function-local static is built exactly once, even when the interface
    // thread and a loader thread ask at the same moment.
    static FormatUtils instance(QStringLiteral(":/Formats.plist"));
    return instance;
}

FormatUtils::FormatUtils(const QString& plistPath)
{
    const std::optional<QVariantMap> root = readPlistDictionary(plistPath);
    if (!root)
        return;
    m_aryDevices = profileList(root->value(QLatin1String(FmtDevicesKey)));
    m_aryVideoFmts = profileList(root->value(QLatin1String(FmtVideoFormatsKey)));
    m_aryAudioFmts = profileList(root->value(QLatin1String(FmtAudioFormatsKey)));
    const QVariantMap codecs = root->value(QLatin1String(FmtCodecMapKey)).toMap();
    for (auto it = codecs.cbegin(); it != codecs.cend(); ++it) {
        if (it.value().metaType().id() == QMetaType::QString)
            m_dicCodecMap.insert(it.key(), it.value().toString());
    }
}

std::optional<QVariantMap> FormatUtils::fmtDictionaryWitName(const QString& name) const
{
    for (const QVariantList* list : { &m_aryVideoFmts, &m_aryDevices, &m_aryAudioFmts }) {
        for (const QVariant& v : *list) {
            const QVariantMap profile = v.toMap();
            const QVariant title = profile.value(QLatin1String(FmtTitleKey));
            if (title.metaType().id() == QMetaType::QString && title.toString() == name)
                return profile;
        }
    }
    return std::nullopt;
}

void FormatUtils::fillMedia(LSMedia* media, const QString& name) const
{
    if (!media || name.isEmpty())
        return;
    // An unknown title reads every value from an empty profile.
    const QVariantMap fmt = fmtDictionaryWitName(name).value_or(QVariantMap());

    media->strOutFileExt = fmt.value(QLatin1String(FmtExtKey)).toString();
    media->strFmtName = name;
    media->imgFormat = profileImage(fmt);
    media->eumDestFmtType = formatType(fmt);

    if (!media->isAudioOnly()) {
        media->readableVOCodecName = choiceDefault(fmt, QLatin1String(FmtVCodecKey));
        media->vOVCodecName = m_dicCodecMap.value(media->readableVOCodecName);
        if (media->bSampeQuality)
            media->dVOBitrate = static_cast<double>(media->videoBitrate) / 1000.0;
        else
            media->dVOBitrate = lenientDouble(choiceDefault(fmt, QLatin1String(FmtVBitrateKey)));
        media->vOFps = lenientDouble(choiceDefault(fmt, QLatin1String(FmtFrameRateKey)));

        const QString resolution = choiceDefault(fmt, QLatin1String(FmtResolutionKey));
        media->strOResolution = resolution;
        const qsizetype first = resolution.indexOf(QLatin1Char('*'));
        if (first < 0) {
            media->iOWidth = lenientInt(resolution);
            media->iOHeight = media->iOWidth;
        } else {
            media->iOWidth = lenientInt(resolution.left(first));
            media->iOHeight = lenientInt(resolution.mid(resolution.lastIndexOf(QLatin1Char('*')) + 1));
        }
    }

    media->readableAOCodecName = choiceDefault(fmt, QLatin1String(FmtACodecKey));
    media->vOACodecName = m_dicCodecMap.value(media->readableAOCodecName);
    media->dAOBitrate = lenientDouble(choiceDefault(fmt, QLatin1String(FmtABitrateKey)));
    media->dAOSamplerate = lenientDouble(choiceDefault(fmt, QLatin1String(FmtSampleRateKey)));

    configureDiscriptionOfMeida(media);
}

void FormatUtils::configureDiscriptionOfMeida(LSMedia* media)
{
    if (!media)
        return;
    const QChar nl(QLatin1Char('\n'));
    const QChar comma(QLatin1Char(','));
    // Built by concatenation so that a "%" in a title or codec name stays as typed.
    media->strDescription = media->strFmtName + nl + media->readableVOCodecName + comma + media->strOResolution + comma
        + format2(media->vOFps) + comma + format2(media->dVOBitrate) + QLatin1Char('k') + nl
        + media->readableAOCodecName + comma + format2(media->dAOBitrate) + comma + format2(media->dAOSamplerate);
}

QString FormatUtils::choiceDefault(const QVariantMap& profile, const QString& key)
{
    return profile.value(key).toMap().value(QLatin1String(FmtDefaultKey)).toString();
}

QStringList FormatUtils::choiceValues(const QVariantMap& profile, const QString& key)
{
    const QString values = profile.value(key).toMap().value(QLatin1String(FmtValuesKey)).toString();
    if (values.isEmpty())
        return {};
    return values.split(QLatin1Char(','));
}

int FormatUtils::formatType(const QVariantMap& profile)
{
    return intValue(profile.value(QLatin1String(FmtFormatTypeKey)));
}

QImage FormatUtils::profileImage(const QVariantMap& profile)
{
    return formatImageNamed(profile.value(QLatin1String(FmtImageKey)).toString());
}

QImage FormatUtils::formatImageNamed(const QString& name)
{
    if (name.isEmpty())
        return {};
    // Every new item asks for its profile's icon; decoding an SVG each time
    // would cost more than the rest of the load.
    static QMutex mutex;
    static QHash<QString, QImage> cache;
    {
        QMutexLocker lock(&mutex);
        const auto it = cache.constFind(name);
        if (it != cache.constEnd())
            return it.value();
    }
    const QImage image = GlobalResources::imageNamed(name);
    QMutexLocker lock(&mutex);
    cache.insert(name, image);
    return image;
}

QString FormatUtils::outputMuxerForExtension(const QString& ext)
{
    // A ringtone is an MPEG-4 audio file under another name.
    if (ext.compare(QLatin1String("m4r"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("ipod");
    return {};
}

double FormatUtils::lenientDouble(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype i = skipBlanks(text);
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    const qsizetype start = i;
    qsizetype digits = 0;
    while (i < n && isAsciiDigit(text.at(i))) {
        ++i;
        ++digits;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && isAsciiDigit(text.at(i))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-')))
            ++j;
        if (j < n && isAsciiDigit(text.at(j))) {
            while (j < n && isAsciiDigit(text.at(j)))
                ++j;
            i = j;
        }
    }
    // from_chars reads the C format whatever the process locale is.
    const QByteArray ascii = text.mid(start, i - start).toLatin1();
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), value);
    if (ec != std::errc())
        return 0.0;
    return negative ? -value : value;
}

int FormatUtils::lenientInt(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype i = skipBlanks(text);
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    long long value = 0;
    while (i < n && isAsciiDigit(text.at(i))) {
        value = value * 10 + (text.at(i).unicode() - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
        ++i;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

double FormatUtils::doubleValue(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return lenientDouble(value.toString());
    case QMetaType::Double:
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Bool:
        return value.toDouble();
    default:
        return 0.0;
    }
}

int FormatUtils::intValue(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return lenientInt(value.toString());
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (!(d == d))
            return 0;
        if (d >= static_cast<double>(INT_MAX))
            return INT_MAX;
        if (d <= static_cast<double>(INT_MIN))
            return INT_MIN;
        return static_cast<int>(d);
    }
    case QMetaType::LongLong: {
        const qint64 v = value.toLongLong();
        return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
    }
    case QMetaType::Int:
    case QMetaType::Bool:
        return value.toInt();
    default:
        return 0;
    }
}
