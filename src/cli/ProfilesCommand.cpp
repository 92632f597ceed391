// trelvio-cli profiles: the output profiles, grouped as the format menu shows them.
#include "Formats/FormatUtils.h"
#include "Media/LSMediaTypes.h"
#include "cli/Commands.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

struct Group {
    const char* name;
    const QVariantList& profiles;
};

void printProfilesUsage(FILE* out)
{
    std::fputs("Usage: trelvio-cli profiles [--json]\n"
               "\n"
               "Lists the output profiles in the groups of the format menu (Devices, Video Formats,\n"
               "Audio Formats) with their extension and default settings.\n"
               "  --json   print one JSON object with one array per group\n",
        out);
}

QJsonObject profileJson(const FormatUtils& catalogue, const QVariantMap& profile)
{
    QJsonObject o;
    o.insert(QStringLiteral("title"), profile.value(QLatin1String(FmtTitleKey)).toString());
    o.insert(QStringLiteral("ext"), profile.value(QLatin1String(FmtExtKey)).toString());
    const int type = FormatUtils::formatType(profile);
    o.insert(QStringLiteral("formattype"), type);
    o.insert(QStringLiteral("image"), profile.value(QLatin1String(FmtImageKey)).toString());
    if (type != DestFmtTypeAudio) {
        const QString vcodec = FormatUtils::choiceDefault(profile, QLatin1String(FmtVCodecKey));
        o.insert(QStringLiteral("vcodec"), vcodec);
        o.insert(QStringLiteral("vencoder"), catalogue.dicCodecMap().value(vcodec));
        o.insert(QStringLiteral("vbitrate"),
            FormatUtils::lenientDouble(FormatUtils::choiceDefault(profile, QLatin1String(FmtVBitrateKey))));
        o.insert(QStringLiteral("framerate"),
            FormatUtils::lenientDouble(FormatUtils::choiceDefault(profile, QLatin1String(FmtFrameRateKey))));
        o.insert(QStringLiteral("resolution"), FormatUtils::choiceDefault(profile, QLatin1String(FmtResolutionKey)));
    }
    const QString acodec = FormatUtils::choiceDefault(profile, QLatin1String(FmtACodecKey));
    o.insert(QStringLiteral("acodec"), acodec);
    o.insert(QStringLiteral("aencoder"), catalogue.dicCodecMap().value(acodec));
    o.insert(QStringLiteral("abitrate"),
        FormatUtils::lenientDouble(FormatUtils::choiceDefault(profile, QLatin1String(FmtABitrateKey))));
    o.insert(QStringLiteral("samplerate"),
        FormatUtils::lenientDouble(FormatUtils::choiceDefault(profile, QLatin1String(FmtSampleRateKey))));
    return o;
}

QString profileLine(const QVariantMap& profile)
{
    auto d = [&](const char* key) { return FormatUtils::choiceDefault(profile, QLatin1String(key)); };
    QString line = QStringLiteral("  %1 [%2]")
                       .arg(profile.value(QLatin1String(FmtTitleKey)).toString(),
                           profile.value(QLatin1String(FmtExtKey)).toString());
    if (FormatUtils::formatType(profile) != DestFmtTypeAudio) {
        line += QStringLiteral("  video: %1 %2 %3 fps %4 kbit/s;")
                    .arg(d(FmtVCodecKey), d(FmtResolutionKey), d(FmtFrameRateKey), d(FmtVBitrateKey));
    }
    line += QStringLiteral("  audio: %1 %2 kbit/s %3 Hz").arg(d(FmtACodecKey), d(FmtABitrateKey), d(FmtSampleRateKey));
    return line;
}

} // namespace

int runProfilesCommand(const QStringList& args)
{
    bool json = false;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--json")) {
            json = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            printProfilesUsage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "trelvio-cli profiles: unknown option '%s'\n", qPrintable(arg));
            printProfilesUsage(stderr);
            return 2;
        }
    }

    const FormatUtils& catalogue = FormatUtils::sharedInstance();
    const Group groups[] = {
        { "Devices", catalogue.aryDevices() },
        { "Video Formats", catalogue.aryVideoFmts() },
        { "Audio Formats", catalogue.aryAudioFmts() },
    };

    if (json) {
        QJsonObject root;
        for (const Group& g : groups) {
            QJsonArray list;
            for (const QVariant& p : g.profiles)
                list.append(profileJson(catalogue, p.toMap()));
            root.insert(QLatin1String(g.name), list);
        }
        const QByteArray text = QJsonDocument(root).toJson(QJsonDocument::Indented);
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
        return 0;
    }

    bool first = true;
    for (const Group& g : groups) {
        if (!first)
            std::fputs("\n", stdout);
        first = false;
        std::printf("%s\n", g.name);
        for (const QVariant& p : g.profiles)
            std::printf("%s\n", profileLine(p.toMap()).toUtf8().constData());
    }
    return 0;
}
