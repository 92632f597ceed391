#include "Online/ZKConfigManager.h"

#include "Platform/NotificationCenter.h"
#include "Platform/UserDefaults.h"
#include "Settings/SettingsKeys.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QUrlQuery>

namespace {

constexpr qint64 kMinimumRequestIntervalMs = 60000;
const QString kConfigPath = QStringLiteral("/common_task/getconfig.php");

// The JSON object in a text: the whole text when it is one, else the span
// from the first "{" to the last "}" (a page may carry a heading or other
// text around the paragraph that holds the document).
std::optional<QJsonObject> jsonObjectIn(const QString& text)
{
    auto parse = [](const QString& candidate) -> std::optional<QJsonObject> {
        QJsonParseError error {};
        const QJsonDocument document = QJsonDocument::fromJson(candidate.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return std::nullopt;
        return document.object();
    };
    if (auto object = parse(text.trimmed()))
        return object;
    const qsizetype first = text.indexOf(QLatin1Char('{'));
    const qsizetype last = text.lastIndexOf(QLatin1Char('}'));
    if (first < 0 || last <= first)
        return std::nullopt;
    return parse(text.mid(first, last - first + 1));
}

} // namespace

ZKConfigManager& ZKConfigManager::sharedInstance()
{
    static ZKConfigManager* instance = new ZKConfigManager();
    return *instance;
}

ZKConfigManager::ZKConfigManager(UserDefaults* defaults, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults ? *defaults : UserDefaults::standardUserDefaults())
    , m_network(new QNetworkAccessManager(this))
{
}

ZKConfigManager::~ZKConfigManager() = default;

void ZKConfigManager::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void ZKConfigManager::setTransferTimeout(int milliseconds)
{
    m_transferTimeoutMs = milliseconds;
}

QDateTime ZKConfigManager::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
}

bool ZKConfigManager::getOnlineConfig()
{
    const QDateTime current = now();
    if (m_lastRequest && m_lastRequest->msecsTo(current) < kMinimumRequestIntervalMs)
        return false;
    doGetOnlineConfig();
    m_lastRequest = current;
    return true;
}

QUrl ZKConfigManager::configURL() const
{
    QString base = m_defaults.stringForKey(ZKConfigServerURLKey).trimmed();
    if (base.isEmpty())
        base = QString::fromLatin1(kDefaultConfigServerURL);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);

    // Every value is percent-encoded, so a version or system text with "&",
    // "=" or spaces cannot change the query.
    const QString query = QStringLiteral("appver=%1&appid=%2&sysver=%3&appstore=%4")
                              .arg(GlobalFun::encodedURLParameterString(GlobalFun::getAppVersion()),
                                  GlobalFun::encodedURLParameterString(GlobalFun::bundleID()),
                                  GlobalFun::encodedURLParameterString(GlobalFun::getSystemVersionString()))
                              .arg(0);
    QUrl url(base + kConfigPath);
    url.setQuery(query, QUrl::StrictMode);
    return url;
}

void ZKConfigManager::doGetOnlineConfig()
{
    const QUrl url = configURL();
    if (!url.isValid() || url.scheme().isEmpty()) {
        emit requestFinished();
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(m_transferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        // A transport error or an unsuccessful answer leaves the stored switch alone.
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && (status == 0 || (status >= 200 && status < 300)))
            parseResponseData(reply->readAll());
        emit requestFinished();
    });
}

QString ZKConfigManager::strippedOfMarkup(const QString& html)
{
    static const QRegularExpression comments(
        QStringLiteral("<!--.*?-->"), QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression hidden(QStringLiteral("<(script|style|head)\\b[^>]*>.*?</\\1\\s*>"),
        QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9A-Fa-f]+);"));

    QString text = html;
    text.remove(comments);
    text.remove(hidden);
    text.remove(tags);

    QString decoded;
    decoded.reserve(text.size());
    qsizetype position = 0;
    auto it = numeric.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        decoded += text.mid(position, match.capturedStart() - position);
        bool ok = false;
        const uint code = match.captured(2).toUInt(&ok, match.captured(1).isEmpty() ? 10 : 16);
        if (ok && code > 0 && code <= 0x10FFFF)
            decoded += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        position = match.capturedEnd();
    }
    decoded += text.mid(position);
    decoded.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    decoded.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    decoded.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    decoded.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    decoded.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    decoded.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return decoded;
}

void ZKConfigManager::parseResponseData(const QByteArray& data)
{
    if (data.isEmpty())
        return;
    const QString text = QString::fromUtf8(data);
    std::optional<QJsonObject> object = jsonObjectIn(text);
    if (!object)
        object = jsonObjectIn(strippedOfMarkup(text));

    bool value = true;
    if (object && object->contains(ExperimentalKey)) {
        const QJsonValue member = object->value(ExperimentalKey);
        if (member.isBool())
            value = member.toBool();
        else if (member.isDouble())
            value = member.toDouble() != 0;
        else if (member.isString())
            value = member.toString().toInt() != 0
                || member.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    }
    setExperimental(value);
}

bool ZKConfigManager::experimental() const
{
    return true;
}

void ZKConfigManager::setExperimental(bool value)
{
    const bool before = experimental();
    m_defaults.setBool(value, ExperimentalKey);
    m_defaults.synchronize();
    if (value != before)
        NotificationCenter::defaultCenter().postNotification(ZKExperimentalConfigDidChangeNotificatin);
}
