#include "Platform/Bookmarks.h"
#include "RAZedIruvIvizor/ZKUtils.h"
#include "submodules/SharedSource/Shared/GlobalFun.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <pwd.h>
#include <unistd.h>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

bool touch(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
}

} // namespace

// ------------------------------------------------------------ time texts ----

TEST(GlobalFunTime, GetHourSplitsWholeSeconds)
{
    struct Case {
        double in;
        int h, m, s;
    };
    const Case cases[] = {
        { 0, 0, 0, 0 },
        { 59.9, 0, 0, 59 },
        { 3661, 1, 1, 1 },
        { 86399.99, 23, 59, 59 },
        { -61.5, 0, -1, -1 },
        { kNaN, 0, 0, 0 },
        { 1e300, 596523, 14, 7 },
        { -1e300, -596523, -14, -8 },
    };
    for (const Case& c : cases) {
        int h = 99, m = 99, s = 99;
        GlobalFun::getHour(&h, &m, &s, c.in);
        EXPECT_EQ(h, c.h) << c.in;
        EXPECT_EQ(m, c.m) << c.in;
        EXPECT_EQ(s, c.s) << c.in;
    }
    GlobalFun::getHour(nullptr, nullptr, nullptr, 10); // no out-parameters: nothing to write
}

TEST(GlobalFunTime, TimeTexts)
{
    struct Case {
        double in;
        const char* full;
        const char* minutes;
        const char* hundredths;
    };
    const Case cases[] = {
        { 0, "00:00:00", "00:00", "00:00.00" },
        { 59, "00:00:59", "00:59", "00:59.00" },
        { 59.9, "00:00:59", "00:59", "00:59.90" },
        { 60, "00:01:00", "01:00", "01:00.00" },
        { 75.25, "00:01:15", "01:15", "01:15.25" },
        { 0.29, "00:00:00", "00:00", "00:00.29" },
        { 0.999999, "00:00:00", "00:00", "00:00.99" },
        { 3599.5, "00:59:59", "59:59", "59:59.50" },
        { 3600, "01:00:00", "01:00:00", "60:00.00" },
        { 3661, "01:01:01", "01:01:01", "61:01.00" },
        { 360000, "100:00:00", "100:00:00", "6000:00.00" },
        // Not a position: no undefined conversion, shown as zero or the largest value.
        { -5, "00:00:00", "00:00", "00:00.00" },
        { -1e300, "00:00:00", "00:00", "00:00.00" },
        { kNaN, "00:00:00", "00:00", "00:00.00" },
        { kInf, "596523:14:07", "596523:14:07", "35791394:07.00" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GlobalFun::getTimeStringBySecond(c.in), c.full) << c.in;
        EXPECT_EQ(GlobalFun::getMTimeStringBySecond(c.in), c.minutes) << c.in;
        EXPECT_EQ(GlobalFun::getMMSSMSTimeStr(c.in), c.hundredths) << c.in;
    }
}

TEST(GlobalFunTime, EstimateTexts)
{
    const std::pair<double, const char*> cases[] = {
        { 0, "0 second remaining" },
        { 1.0, "1 second remaining" },
        { 1.2, "1 seconds remaining" },
        { 45, "45 seconds remaining" },
        { 59.6, "60 seconds remaining" },
        { 60, "1 minite 0 second remaining" },
        { 61, "1 minite 1 second remaining" },
        { 62, "1 minite 2 seconds remaining" },
        { 119, "1 minite 59 seconds remaining" },
        { 120, "2 minites 0 second remaining" },
        { 150, "2 minites 30 seconds remaining" },
        { 3599.9, "59 minites 59 seconds remaining" },
        { 3600, "1 hour 0 minite remaining" },
        { 3700, "1 hour 1 minite remaining" },
        { 3719, "1 hour 1 minite remaining" },
        { 3720, "1 hour 2 minites remaining" }, // the minute word follows the leftover seconds (> 119)
        { 3779, "1 hour 2 minites remaining" },
        { 7199, "1 hour 59 minites remaining" },
        { 7200, "2 hours 0 minite remaining" },
        { 7300, "2 hours 1 minite remaining" },
        { -30, "0 second remaining" },
        { kNaN, "0 second remaining" },
        { kInf, "596523 hours 14 minites remaining" },
    };
    for (const auto& [in, text] : cases)
        EXPECT_EQ(GlobalFun::getEstimateStrBySecond(in), text) << in;
}

TEST(GlobalFunTime, SecondsFromTimeText)
{
    const std::pair<const char*, double> cases[] = {
        { "", 0 },
        { "00:01:23", 83 },
        { "00:01:23.5", 83.5 },
        { "01:30", 5400 }, // the first part is always hours
        { "2", 7200 },
        { "01:02:03:04", 3723 },
        { "aa:01:bb", 60 },
        { " 1:2:3", 3723 },
        { "1x:2:3.25s", 3723.25 },
        { "-00:00:05", 5 }, // only the first part carries the sign
        { "-1:00:00", -3600 },
        { "1e1:0:0", 36000 },
        { "::", 0 },
        { "1e999:0:0", 0 }, // not representable: counts as no number
        { "nan:inf:1", 1 },
    };
    for (const auto& [in, seconds] : cases)
        EXPECT_DOUBLE_EQ(GlobalFun::getSecondsByTimeString(QString::fromUtf8(in)), seconds) << in;
}

TEST(GlobalFunText, UrlParameterEscaping)
{
    EXPECT_EQ(GlobalFun::encodedURLParameterString("abcXYZ019-._~"), "abcXYZ019-._~");
    EXPECT_EQ(GlobalFun::encodedURLParameterString(":/= +*,'()!@$?^[]{}"),
        "%3A%2F%3D%20%2B%2A%2C%27%28%29%21%40%24%3F%5E%5B%5D%7B%7D");
    // Characters that would end or change a query value are escaped too.
    EXPECT_EQ(GlobalFun::encodedURLParameterString("a&b;c#d%e\"<>\\|`"), "a%26b%3Bc%23d%25e%22%3C%3E%5C%7C%60");
    EXPECT_EQ(GlobalFun::encodedURLParameterString(QString::fromUtf8("é 3")), "%C3%A9%203");
    EXPECT_EQ(GlobalFun::encodedURLParameterString(QString()), "");
}

// ---------------------------------------------------------- paths, files ----

TEST(GlobalFunPaths, MakeSureFolderExsist)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    EXPECT_FALSE(GlobalFun::MakeSureFolderExsist(QString()));
    EXPECT_TRUE(GlobalFun::MakeSureFolderExsist(tmp.path()));
    const QString deep = tmp.filePath("a/b/c");
    EXPECT_TRUE(GlobalFun::MakeSureFolderExsist(deep));
    EXPECT_TRUE(QFileInfo(deep).isDir());
    ASSERT_TRUE(touch(tmp.filePath("file")));
    EXPECT_FALSE(GlobalFun::MakeSureFolderExsist(tmp.filePath("file")));
    EXPECT_FALSE(GlobalFun::MakeSureFolderExsist(tmp.filePath("file/sub")));
}

TEST(GlobalFunPaths, UniquePathsOnRealFiles)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString clip = tmp.filePath("clip.mp4");

    EXPECT_EQ(GlobalFun::makeSureFullPathIdentical(clip, "mp4"), clip) << "a free path comes back unchanged";
    EXPECT_EQ(GlobalFun::makeSureFullPathIdentical(tmp.filePath("clip"), "mp4"), clip);
    EXPECT_EQ(GlobalFun::makeSureFullPathIdentical(tmp.filePath("clip.mov"), "mp4"), tmp.filePath("clip.mov.mp4"));
    EXPECT_EQ(GlobalFun::makeSureFullPathIdentical(tmp.filePath("clip.MP4"), "mp4"), tmp.filePath("clip.MP4.mp4"))
        << "the extension is compared case-sensitively";

    // Successive names, each taken in turn.
    ASSERT_TRUE(touch(clip));
    for (int n = 1; n <= 4; ++n) {
        const QString next = GlobalFun::makeSureFullPathIdentical(clip, "mp4");
        EXPECT_EQ(next, tmp.filePath(QStringLiteral("clip(%1).mp4").arg(n)));
        ASSERT_TRUE(touch(next));
    }
    // A taken name that carries the marker moves on to the next number.
    EXPECT_EQ(GlobalFun::makeSureFullPathIdentical(tmp.filePath("clip(1).mp4"), "mp4"), tmp.filePath("clip(5).mp4"));

    // clip, clip(1), clip(2) present: clip(3).
    QTemporaryDir tmp2;
    for (const char* name : { "clip.mp4", "clip(1).mp4", "clip(2).mp4" })
        ASSERT_TRUE(touch(tmp2.filePath(name)));
    EXPECT_EQ(GlobalFun::makeSureFullPathIdentical(tmp2.filePath("clip.mp4"), "mp4"), tmp2.filePath("clip(3).mp4"));

    // A dangling link takes its name too: writing there would follow it.
    ASSERT_EQ(symlink("/nonexistent/target", QFile::encodeName(tmp2.filePath("link.mp4")).constData()), 0);
    EXPECT_EQ(GlobalFun::makeSureFullPathIdentical(tmp2.filePath("link.mp4"), "mp4"), tmp2.filePath("link(1).mp4"));
}

TEST(GlobalFunPaths, UniquePathMarkerInFolderNameStaysPut)
{
    QTemporaryDir tmp;
    const QString folder = tmp.filePath("take(1)");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(touch(folder + "/clip.mp4"));
    EXPECT_EQ(GlobalFun::makeSureFullPathIdentical(folder + "/clip.mp4", "mp4"), folder + "/clip(1).mp4");
    ASSERT_TRUE(touch(folder + "/clip(1).mp4"));
    EXPECT_EQ(GlobalFun::makeSureFullPathIdentical(folder + "/clip.mp4", "mp4"), folder + "/clip(2).mp4");
}

TEST(GlobalFunPaths, RecursiveListing)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString root = tmp.path();
    ASSERT_TRUE(QDir().mkpath(root + "/sub/deeper"));
    ASSERT_TRUE(QDir().mkpath(root + "/.hidden"));
    ASSERT_TRUE(QDir().mkpath(root + "/folder.mp4")); // a folder is never a match itself
    for (const char* name : { "a.mp4", "b.MOV", "c.txt", "noext", ".d.Mp4", "sub/e.mkv", "sub/deeper/f.MKV",
             "sub/deeper/g.jpg", ".hidden/h.mov", "folder.mp4/i.mp4" })
        ASSERT_TRUE(touch(root + "/" + name));
    // A loop back to the root and a link to a file; a dangling link is skipped.
    ASSERT_EQ(symlink("..", QFile::encodeName(root + "/sub/loop").constData()), 0);
    ASSERT_EQ(symlink("../a.mp4", QFile::encodeName(root + "/sub/linked.mp4").constData()), 0);
    ASSERT_EQ(symlink("nowhere.mp4", QFile::encodeName(root + "/dangling.mp4").constData()), 0);
    // A name that is not valid UTF-8 cannot come back as a path that names it.
    const QByteArray badName = QFile::encodeName(root) + "/bad\xff.mp4";
    FILE* f = fopen(badName.constData(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);

    QStringList found = GlobalFun::fileListAtDirenctory(root, { "mp4", "mov", "mkv" });
    QStringList expected = { root + "/a.mp4", root + "/b.MOV", root + "/.d.Mp4", root + "/sub/e.mkv",
        root + "/sub/deeper/f.MKV", root + "/.hidden/h.mov", root + "/folder.mp4/i.mp4", root + "/sub/linked.mp4" };
    found.sort();
    expected.sort();
    EXPECT_EQ(found, expected);

    // The same with a trailing slash on the folder.
    QStringList again = GlobalFun::fileListAtDirenctory(root + "/", { "MP4" });
    again.sort();
    EXPECT_EQ(again,
        QStringList({ root + "/.d.Mp4", root + "/a.mp4", root + "/folder.mp4/i.mp4", root + "/sub/linked.mp4" }));

    unlink(badName.constData()); // the temporary folder's clean-up cannot name it either

    EXPECT_TRUE(GlobalFun::fileListAtDirenctory(root + "/missing", { "mp4" }).isEmpty());
    EXPECT_TRUE(GlobalFun::fileListAtDirenctory(root + "/a.mp4", { "mp4" }).isEmpty());
    EXPECT_TRUE(GlobalFun::fileListAtDirenctory(root, {}).isEmpty());
}

TEST(GlobalFunPaths, RecursiveListingKeepsFileSystemOrderWithFoldersInPlace)
{
    QTemporaryDir tmp;
    const QString root = tmp.path();
    ASSERT_TRUE(QDir().mkpath(root + "/d"));
    ASSERT_TRUE(touch(root + "/x.mp3"));
    ASSERT_TRUE(touch(root + "/d/y.mp3"));
    ASSERT_TRUE(touch(root + "/d/z.mp3"));
    const QStringList found = GlobalFun::fileListAtDirenctory(root, { "mp3" });
    ASSERT_EQ(found.size(), 3);
    // The folder's files stay together where the folder was met.
    const qsizetype x = found.indexOf(root + "/x.mp3");
    ASSERT_NE(x, -1);
    const qsizetype firstInD = x == 0 ? 1 : 0;
    EXPECT_TRUE(found[firstInD].startsWith(root + "/d/"));
    EXPECT_TRUE(found[firstInD + 1].startsWith(root + "/d/"));
}

TEST(GlobalFunPaths, RealHomeDirectoryComesFromTheAccountDatabase)
{
    const passwd* pw = getpwuid(getuid());
    if (pw && pw->pw_dir && *pw->pw_dir)
        EXPECT_EQ(GlobalFun::RealHomeDirectory(), QFile::decodeName(pw->pw_dir));
    else
        EXPECT_EQ(GlobalFun::RealHomeDirectory(), qEnvironmentVariable("HOME"));
    // The test world points HOME elsewhere; the account's home is unaffected by it.
    EXPECT_FALSE(GlobalFun::RealHomeDirectory().isEmpty());
}

TEST(GlobalFunPaths, BookmarkDataForURL)
{
    QTemporaryDir tmp;
    EXPECT_TRUE(GlobalFun::BookmarkDataForURL(QUrl()).isEmpty());
    EXPECT_TRUE(GlobalFun::BookmarkDataForURL(QUrl("https://example.invalid/x")).isEmpty());
    EXPECT_TRUE(GlobalFun::BookmarkDataForURL(QUrl::fromLocalFile(tmp.filePath("gone"))).isEmpty());
    const QByteArray data = GlobalFun::BookmarkDataForURL(QUrl::fromLocalFile(tmp.path()));
    ASSERT_FALSE(data.isEmpty());
    const auto resolved = Bookmarks::resolve(data);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(resolved->path, QDir::cleanPath(tmp.path()));
    EXPECT_FALSE(resolved->stale);
}

TEST(GlobalFunPaths, FFMpegPathComesFromTheFramework)
{
    EXPECT_EQ(GlobalFun::getFFMpegPath(), ZKUtils::getFFMpegPath());
    ZKUtils::setFFMpegPathOverride("/opt/tools/ffmpeg");
    EXPECT_EQ(GlobalFun::getFFMpegPath(), "/opt/tools/ffmpeg");
    ZKUtils::setFFMpegPathOverride(QString());
}

TEST(GlobalFunPaths, SupportedFormats)
{
    const QStringList fmts = GlobalFun::getSupportedFmts();
    const QStringList expected = { "wmv", "rm", "mpg", "mpeg", "ts", "mts", "avi", "mkv", "mov", "flv", "mp4", "rmvb",
        "vob", "m4v", "3gp", "nsv", "ogm", "asf", "f4v", "swf", "mp3", "wav", "m4a", "ape", "ogg", "flac", "aac", "wma",
        "ac3", "amr", "m4r", "mp2", "dsd" };
    EXPECT_EQ(fmts.size(), 33);
    EXPECT_EQ(fmts, expected);
    EXPECT_EQ(fmts.first(), "wmv");
    EXPECT_EQ(fmts.last(), "dsd");
    for (const char* e : { "vob", "m4v", "m4r" })
        EXPECT_TRUE(fmts.contains(e)) << e;
}

// ------------------------------------------------------ images, geometry ----

TEST(GlobalFunGeometry, SizeFitting)
{
    struct Case {
        QSizeF in, max, out;
        double rate; // 0: the out factor stays untouched
    };
    const Case cases[] = {
        { { 1920, 1080 }, { 480, 480 }, { 480, 270 }, 4.0 }, { { 100, 50 }, { 480, 480 }, { 100, 50 }, 0 },
        { { 480, 480 }, { 480, 480 }, { 480, 480 }, 0 }, { { 500, 100 }, { 250, 100 }, { 250, 50 }, 2.0 },
        { { 100, 400 }, { 200, 200 }, { 50, 200 }, 2.0 }, { { 0, 0 }, { 0, 0 }, { 0, 0 }, 0 }, // nothing to fit
        { { 0, 300 }, { 0, 100 }, { 0, 100 }, 3.0 }, // a zero side against a zero bound fits
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GlobalFun::getSizeWithOrigin(c.in, c.max), c.out) << c.in.width() << "x" << c.in.height();
        double rate = -7;
        EXPECT_EQ(GlobalFun::getSizeWithOrigin(c.in, c.max, &rate), c.out);
        EXPECT_DOUBLE_EQ(rate, c.rate == 0 ? -7 : c.rate);
    }
    // A zero bound against a real side scales to nothing rather than to NaN.
    const QSizeF squashed = GlobalFun::getSizeWithOrigin({ 100, 50 }, { 0, 480 });
    EXPECT_EQ(squashed, QSizeF(0, 0));
}

TEST(GlobalFunImage, TypeNamesPickTheFormat)
{
    QImage img(8, 6, QImage::Format_ARGB32);
    img.fill(QColor(10, 200, 30));
    const std::pair<const char*, QByteArray> known[] = {
        { "tif", "tiff" },
        { "tiff", "tiff" },
        { "TIF", "tiff" },
        { "TIFF", "tiff" },
        { "bmp", "bmp" },
        { "BMP", "bmp" },
        { "gif", "gif" },
        { "GIF", "gif" },
        { "jpg", "jpeg" },
        { "jpeg", "jpeg" },
        { "JPG", "jpeg" },
        { "JPEG", "jpeg" },
        { "png", "png" },
        { "PNG", "png" },
    };
    for (const auto& [type, readerFormat] : known) {
        QByteArray data = GlobalFun::image(img, type);
        ASSERT_FALSE(data.isEmpty()) << type;
        QBuffer buffer(&data);
        QImageReader reader(&buffer);
        EXPECT_EQ(reader.format(), readerFormat) << type;
        const QImage back = reader.read();
        EXPECT_EQ(back.size(), QSize(8, 6)) << type;
    }
    for (const char* type : { "jpg2000", "jpeg2000", "JPG2000", "JPEG2000" }) {
        const QByteArray data = GlobalFun::image(img, type);
        EXPECT_TRUE(data.startsWith(QByteArray("\x00\x00\x00\x0cjP  \r\n\x87\n", 12))) << type;
    }
    for (const char* type : { "", "Png", "Tiff", "jp2", "webp", "jpeg 2000", "gif " })
        EXPECT_TRUE(GlobalFun::image(img, type).isEmpty()) << type;
    EXPECT_TRUE(GlobalFun::image(QImage(), "png").isEmpty());
}

TEST(GlobalFunImage, BitmapHasThePictureSizeInPointsAndKeepsAlpha)
{
    QImage img(40, 20, QImage::Format_ARGB32);
    img.fill(QColor(255, 0, 0, 128));
    img.setDevicePixelRatio(2.0);
    QByteArray data = GlobalFun::image(img, "png");
    QImage back;
    ASSERT_TRUE(back.loadFromData(data, "png"));
    EXPECT_EQ(back.size(), QSize(20, 10));
    EXPECT_NEAR(qAlpha(back.pixel(5, 5)), 128, 1);
    EXPECT_NEAR(qRed(back.pixel(5, 5)), 255, 2);

    // Less than a point in a direction: no bitmap to encode.
    QImage tiny(1, 1, QImage::Format_ARGB32);
    tiny.fill(Qt::white);
    tiny.setDevicePixelRatio(2.0);
    EXPECT_TRUE(GlobalFun::image(tiny, "png").isEmpty());
}
