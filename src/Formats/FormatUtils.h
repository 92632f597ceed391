#pragma once

#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

class LSMedia;

// Keys of the catalogue resource. Root keys:
inline constexpr char FmtDevicesKey[] = "Devices";
inline constexpr char FmtVideoFormatsKey[] = "Formats";
inline constexpr char FmtAudioFormatsKey[] = "Audios";
inline constexpr char FmtCodecMapKey[] = "codecMap";
// Keys of a profile dictionary:
inline constexpr char FmtTitleKey[] = "title";
inline constexpr char FmtImageKey[] = "image";
inline constexpr char FmtFormatTypeKey[] = "formattype";
inline constexpr char FmtExtKey[] = "ext";
inline constexpr char FmtVCodecKey[] = "vcodec";
inline constexpr char FmtVBitrateKey[] = "vbitrate";
inline constexpr char FmtFrameRateKey[] = "framerate";
inline constexpr char FmtResolutionKey[] = "resolution";
inline constexpr char FmtACodecKey[] = "acodec";
inline constexpr char FmtABitrateKey[] = "abitrate";
inline constexpr char FmtSampleRateKey[] = "samplerate";
// Keys of a choice dictionary (the value of each of the seven setting keys):
inline constexpr char FmtValuesKey[] = "values";
inline constexpr char FmtDefaultKey[] = "default";

// The read-only catalogue of output profiles: device profiles, video formats
// and audio formats (each an ordered list of profile dictionaries, in menu
// order), and the map from the codec names shown to the user to ffmpeg
// encoder names. Built once from the "Formats" property list compiled into
// the program; afterwards nothing changes, so any thread may read it.
class FormatUtils {
public:
    // The process-wide catalogue, built from ":/Formats.plist" on first use.
    static FormatUtils& sharedInstance();

    // A catalogue read from a property-list file (Qt resource paths work).
    // A missing or unreadable file, or one whose root is not a dictionary,
    // gives an empty catalogue.
    explicit FormatUtils(const QString& plistPath);

    FormatUtils(const FormatUtils&) = delete;
    FormatUtils& operator=(const FormatUtils&) = delete;

    // Each element is a QVariantMap (a profile dictionary).
    const QVariantList& aryDevices() const { return m_aryDevices; }
    const QVariantList& aryVideoFmts() const { return m_aryVideoFmts; }
    const QVariantList& aryAudioFmts() const { return m_aryAudioFmts; }
    const QMap<QString, QString>& dicCodecMap() const { return m_dicCodecMap; }

    // The profile whose "title" equals name exactly, looked for in the video
    // formats, then the devices, then the audio formats.
    std::optional<QVariantMap> fmtDictionaryWitName(const QString& name) const;

    // Writes the named profile's defaults into the item and rebuilds its
    // summary. An empty title or no item does nothing; an unknown title sets
    // strFmtName and empties the other fields it writes. An audio-only item
    // keeps its video fields.
    void fillMedia(LSMedia* media, const QString& name) const;
    void fillMedia(const std::shared_ptr<LSMedia>& media, const QString& name) const { fillMedia(media.get(), name); }

    // strDescription from the item's output fields: the profile title; video
    // codec, resolution, frame rate, bit rate + "k"; audio codec, bit rate,
    // sample rate.
    static void configureDiscriptionOfMeida(LSMedia* media);

    // Reading a profile. An absent key gives an empty text, an empty list, 0.
    static QString choiceDefault(const QVariantMap& profile, const QString& key);
    // The "values" text split at "," with nothing trimmed; empty when absent or empty.
    static QStringList choiceValues(const QVariantMap& profile, const QString& key);
    // Integer value of "formattype" (a number or a numeric text).
    static int formatType(const QVariantMap& profile);
    // The profile's "image" as an image; null when it has none or it does not load.
    static QImage profileImage(const QVariantMap& profile);
    // An image of the catalogue by its "image" name (a resource under
    // :/images/, e.g. "formats/phone-ios"). Loaded images are kept.
    static QImage formatImageNamed(const QString& name);

    // ffmpeg picks the output container from the extension. For an extension
    // it does not know ("m4r") this is the muxer to name with "-f"; empty
    // when the extension is enough.
    static QString outputMuxerForExtension(const QString& ext);

    // Numbers typed into settings and read from the catalogue: leading white
    // space is skipped and the longest numeric prefix taken; no number gives 0.
    // lenientDouble takes sign, digits, a decimal point and an exponent;
    // lenientInt takes sign and digits and clamps to the int range.
    static double lenientDouble(const QString& text);
    static int lenientInt(const QString& text);
    // A value of the catalogue that may be a number or a text.
    static double doubleValue(const QVariant& value);
    static int intValue(const QVariant& value);

private:
    QVariantList m_aryDevices;
    QVariantList m_aryVideoFmts;
    QVariantList m_aryAudioFmts;
    QMap<QString, QString> m_dicCodecMap;
};
