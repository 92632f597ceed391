#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>

class QAbstractButton;
class QWidget;

// Stateless helpers shared by every subsystem: time and estimate texts,
// unique output paths, folder listing, the one-frame thumbnail, accepted
// extensions, image encoding, size fitting, application information.
// Everything here may be called from any thread unless noted.
class GlobalFun
{
public:
    // Time and text (whole seconds: the value truncated toward zero).
    static void getHour(int* hour, int* minite, int* second, double time);
    static QString getTimeStringBySecond(double seconds);    // "HH:MM:SS"
    static QString getMTimeStringBySecond(double seconds);   // "MM:SS" below an hour
    static QString getMMSSMSTimeStr(double seconds);         // "MM:SS.hh"
    static QString getEstimateStrBySecond(double seconds);   // "2 minites 30 seconds remaining"
    static double getSecondsByTimeString(const QString& text);
    static QString encodedURLParameterString(const QString& text);

    // Paths and files.
    static bool MakeSureFolderExsist(const QString& path);
    static QString makeSureFullPathIdentical(const QString& path, const QString& extension);
    static QStringList fileListAtDirenctory(const QString& folder, const QStringList& filter);
    static QString RealHomeDirectory();
    static QByteArray BookmarkDataForURL(const QUrl& url);
    static QString getFFMpegPath();
    // One key frame at or after `seconds`, from a one-frame ffmpeg run. Blocks
    // until the tool has exited; a null image when nothing could be read.
    static QImage createThumbnail(const QString& mediaPath, double seconds, double fps);
    // The exact argument list (without the program) of that ffmpeg run.
    static QStringList thumbnailArguments(const QString& mediaPath, double seconds, double fps,
                                          const QString& outputPath);
    static QStringList getSupportedFmts();

    // Images and geometry.
    static QSizeF getSizeWithOrigin(QSizeF size, QSizeF max);
    static QSizeF getSizeWithOrigin(QSizeF size, QSizeF max, double* rate);
    // The image encoded as tif/tiff, bmp, gif, jpg/jpeg, jpg2000/jpeg2000 or
    // png (either letter case); empty for any other type name.
    static QByteArray image(const QImage& image, const QString& type);
    // The transparent overlay of a watermark, canvas-sized, resampled to destSize.
    static QImage getOverlayImgWithSize(QSizeF size, int64_t waterMarkType, const QString& waterMarkText,
                                        const QColor& txtColor, const QColor& txtBgColor, const QFont& txtFont,
                                        const QImage& wmImage, double transValue, int64_t positioon,
                                        QSizeF destSize);
    // Where an overlay of overlaySize sits on a canvas of bkgSize.
    static QRectF getFrameWithBkgSize(QSizeF bkgSize, QSizeF overlaySize, int32_t position);
    static bool isMacOS1080AndLatter() { return true; }
    // Widget helpers (defined in the interface library; interface thread only).
    // The button's title in the colour and font, centred; an empty text leaves it alone.
    static void setTxtColorForBtn(QAbstractButton* button, const QString& text, const QColor& color,
                                  const QFont& font);
    // True when the widget's palette is a dark one (window colour darker than its text).
    static bool isInDarkMode(const QWidget* view);

    // Application and system information.
    static QString getProductName();
    static QString getAppVersion();
    // The same rule applied to a given short version text ("3.1" -> "3.1.0").
    static QString getAppVersion(const QString& shortVersion);
    static QString getAppBuildNumber();
    static QString getAppBuildVersion();
    static QString bundleID();
    static QString getSystemVersionString();
    static QString computerModel();
    static QString getSystemLocalLanguage();
    static QString getGUID();
    static double getScreenScaleFactor();
};
