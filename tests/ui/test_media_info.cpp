#include "Common/WindowController/ZKMediaInfoWndCtl.h"
#include "Media/LSMedia.h"
#include "Views/VQMediaInfoViewCtl.h"
#include "support/TestMedia.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

// What the outline shows in a cell: a group row when row < 0.
QString cell(const VQMediaInfoViewCtl& view, int group, int row, int column)
{
    const QAbstractItemModel* model = view.outlineView()->model();
    const QModelIndex groupIndex = model->index(group, 0);
    const QModelIndex index = row < 0 ? model->index(group, column) : model->index(row, column, groupIndex);
    return model->data(index, Qt::DisplayRole).toString();
}

// The value shown in the row with this label inside a group.
QString valueOf(const VQMediaInfoViewCtl& view, int group, const QString& label)
{
    const QAbstractItemModel* model = view.outlineView()->model();
    const QModelIndex groupIndex = model->index(group, 0);
    for (int r = 0; r < model->rowCount(groupIndex); ++r) {
        if (cell(view, group, r, 0) == label)
            return cell(view, group, r, 1);
    }
    ADD_FAILURE() << "no row " << label.toStdString() << " in group " << group;
    return {};
}

std::shared_ptr<LSMedia> probed(const QString& path)
{
    auto media = LSMedia::mediaWithPath(path);
    EXPECT_TRUE(media->loadValuesSynchronously()) << path.toStdString();
    return media;
}

struct Expect {
    int group;
    const char* label;
    const char* value;
};

} // namespace

TEST(MediaInfoView, ShowsFixedGroupsAndLabelsWithEmptyValuesWithoutAnItem)
{
    VQMediaInfoViewCtl view;
    const QAbstractItemModel* model = view.outlineView()->model();
    ASSERT_EQ(model->rowCount(), 3);
    const QStringList groups = { "Summary", "Video Stream", "Audio Stream" };
    const QList<QStringList> labels = {
        { "File", "Format", "Stream count", "Size", "Duration", "Bit rate", "Date Created", "Data Modified" },
        { "Codec", "Pixel format", "Duration", "Width", "Height", "SAR", "DAR", "Frame rate", "Bit rate" },
        { "Codec", "Sample format", "Duration", "Bit rate", "Sample rate", "Channel" },
    };
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(cell(view, g, -1, 0), groups[g]);
        EXPECT_EQ(cell(view, g, -1, 1), QString());
        EXPECT_TRUE(view.outlineView()->isExpanded(model->index(g, 0)));
        ASSERT_EQ(model->rowCount(model->index(g, 0)), labels[g].size());
        for (int r = 0; r < labels[g].size(); ++r) {
            EXPECT_EQ(cell(view, g, r, 0), labels[g][r]);
            EXPECT_EQ(cell(view, g, r, 1), QString()) << labels[g][r].toStdString();
            // Rows are leaves; only the groups expand.
            EXPECT_EQ(model->rowCount(model->index(r, 0, model->index(g, 0))), 0);
        }
    }
    EXPECT_EQ(VQMediaInfoViewCtl::getItemTypeName(3), QStringLiteral("Meta Data"));
    EXPECT_EQ(VQMediaInfoViewCtl::getItemTypeName(4), QString());
    EXPECT_EQ(VQMediaInfoViewCtl::getItemTypeName(-1), QString());
}

TEST(MediaInfoView, ValuesOfProbedClips)
{
    struct Case {
        QString path;
        std::vector<Expect> expects;
    };
    const std::vector<Case> cases = {
        { TestMedia::videoWithAudio(),
            { { 0, "Stream count", "2" }, { 0, "Duration", "00:00:02" }, { 1, "Codec", "h264" },
                { 1, "Pixel format", "yuv420p" }, { 1, "Width", "320" }, { 1, "Height", "240" }, { 1, "SAR", "1:1" },
                { 1, "DAR", "4:3" }, { 1, "Frame rate", "25.00 fps" }, { 1, "Duration", "00:00:02" },
                { 2, "Codec", "aac" }, { 2, "Sample rate", "44100 Hz" }, { 2, "Channel", "2" },
                { 2, "Sample format", "fltp" } } },
        { TestMedia::anamorphic(),
            { { 1, "Codec", "mpeg2video" }, { 1, "Width", "720" }, { 1, "Height", "576" }, { 1, "SAR", "64:45" },
                { 1, "DAR", "16:9" }, { 1, "Frame rate", "25.00 fps" }, { 2, "Codec", "mp2" },
                { 2, "Sample rate", "48000 Hz" } } },
        { TestMedia::audioOnly(),
            { { 0, "Stream count", "1" }, { 0, "Duration", "00:00:02" }, { 2, "Codec", "aac" },
                { 2, "Sample rate", "48000 Hz" }, { 2, "Channel", "2" } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        ASSERT_FALSE(c.path.isEmpty());
        auto media = probed(c.path);
        VQMediaInfoViewCtl view;
        view.flushWithItem(media);
        EXPECT_EQ(valueOf(view, 0, "File"), c.path);
        EXPECT_EQ(valueOf(view, 0, "Format"), media->formatName);
        EXPECT_FALSE(media->formatName.isEmpty());
        const qint64 bytes = QFileInfo(c.path).size();
        EXPECT_EQ(valueOf(view, 0, "Size"), QString::asprintf("%.1f MB", bytes / 1e6));
        EXPECT_EQ(valueOf(view, 0, "Bit rate"), QString::asprintf("%.0f Kbps", media->bitrate / 1000.0));
        EXPECT_EQ(valueOf(view, 0, "Data Modified"),
            QFileInfo(c.path).lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        EXPECT_EQ(valueOf(view, 2, "Bit rate"), QString::asprintf("%.2f Kbps", media->audioBitrate / 1000.0));
        for (const Expect& e : c.expects)
            EXPECT_EQ(valueOf(view, e.group, e.label), QString::fromUtf8(e.value)) << e.label;
        // Without tags there is no metadata group.
        EXPECT_EQ(view.outlineView()->model()->rowCount(), media->metaData.isEmpty() ? 3 : 4);
    }
}

TEST(MediaInfoView, AudioOnlyFileStillShowsTheVideoGroup)
{
    auto media = probed(TestMedia::audioOnly());
    ASSERT_TRUE(media->isAudioOnly());
    VQMediaInfoViewCtl view;
    view.flushWithItem(media);
    EXPECT_EQ(cell(view, 1, -1, 0), QStringLiteral("Video Stream"));
    EXPECT_EQ(valueOf(view, 1, "Width"), QStringLiteral("0"));
    EXPECT_EQ(valueOf(view, 1, "SAR"), QStringLiteral("0:0"));
    EXPECT_EQ(valueOf(view, 1, "Frame rate"), QStringLiteral("0.00 fps"));
}

TEST(MediaInfoView, TagsMakeAFourthGroupWithOneRowPerTag)
{
    auto media = probed(TestMedia::withMetadata());
    ASSERT_FALSE(media->metaData.isEmpty());
    VQMediaInfoViewCtl view;
    view.flushWithItem(media);
    const QAbstractItemModel* model = view.outlineView()->model();
    ASSERT_EQ(model->rowCount(), 4);
    EXPECT_EQ(cell(view, 3, -1, 0), QStringLiteral("Meta Data"));
    EXPECT_TRUE(view.outlineView()->isExpanded(model->index(3, 0)));
    ASSERT_EQ(model->rowCount(model->index(3, 0)), media->metaData.size());
    QStringList values;
    for (int r = 0; r < media->metaData.size(); ++r) {
        const QString key = cell(view, 3, r, 0);
        EXPECT_EQ(cell(view, 3, r, 1), media->metaData.value(key)) << key.toStdString();
        values << cell(view, 3, r, 1);
    }
    EXPECT_TRUE(values.contains(QStringLiteral("Test Title")));
    EXPECT_TRUE(values.contains(QStringLiteral("Test Artist")));
    EXPECT_TRUE(values.contains(QStringLiteral("made at test time")));

    // The next item without tags drops the group again; no item keeps the labels.
    auto untagged = media->copy();
    untagged->metaData.clear();
    view.flushWithItem(untagged);
    EXPECT_EQ(model->rowCount(), 3);
    view.flushWithItem(nullptr);
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(cell(view, 0, 0, 0), QStringLiteral("File"));
    EXPECT_EQ(cell(view, 0, 0, 1), QString());
    EXPECT_EQ(cell(view, 0, 3, 1), QString());
    EXPECT_EQ(view.media(), nullptr);
}

TEST(MediaInfoView, FormatsOfSetFields)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clip.mov"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(1234567));
    }
    const QDateTime when(QDate(2021, 3, 4), QTime(5, 6, 7));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
    }

    auto media = std::make_shared<LSMedia>();
    media->filePath = path;
    media->formatName = QStringLiteral("mov,mp4,m4a,3gp,3g2,mj2");
    media->streamCount = 3;
    media->duration = 3725.9;
    media->bitrate = 1500000;
    media->videoCodecName = QStringLiteral("h264");
    media->pixfmtName = QStringLiteral("yuv420p");
    media->videoDuration = 59.99;
    media->pixWidth = 1920;
    media->pixHeight = 1080;
    media->sample_aspect_ratio = { 1, 1 };
    media->display_aspect_ratio = { 16, 9 };
    media->videoFps = 29.97002997;
    media->videoBitrate = 1234567;
    media->audioCodecName = QStringLiteral("aac");
    media->audioSampleFmt = QStringLiteral("fltp");
    media->audioDuration = 61;
    media->audioBitrate = 128000;
    media->audioSamplerate = 44100;
    media->audioChannels = 6;

    VQMediaInfoViewCtl view;
    view.flushWithItem(media);
    const std::vector<Expect> table = {
        { 0, "File", nullptr },
        { 0, "Format", "mov,mp4,m4a,3gp,3g2,mj2" },
        { 0, "Stream count", "3" },
        { 0, "Size", "1.2 MB" },
        { 0, "Duration", "01:02:05" },
        { 0, "Bit rate", "1500 Kbps" },
        { 0, "Data Modified", "2021-03-04 05:06" },
        { 1, "Codec", "h264" },
        { 1, "Pixel format", "yuv420p" },
        { 1, "Duration", "00:00:59" },
        { 1, "Width", "1920" },
        { 1, "Height", "1080" },
        { 1, "SAR", "1:1" },
        { 1, "DAR", "16:9" },
        { 1, "Frame rate", "29.97 fps" },
        { 1, "Bit rate", "1234.57 Kbps" },
        { 2, "Codec", "aac" },
        { 2, "Sample format", "fltp" },
        { 2, "Duration", "00:01:01" },
        { 2, "Bit rate", "128.00 Kbps" },
        { 2, "Sample rate", "44100 Hz" },
        { 2, "Channel", "6" },
    };
    for (const Expect& e : table) {
        const QString expected = e.value ? QString::fromUtf8(e.value) : path;
        EXPECT_EQ(valueOf(view, e.group, e.label), expected) << e.label;
    }
    // The creation date is shown when the file system keeps one.
    const QDateTime born = QFileInfo(path).birthTime();
    EXPECT_EQ(valueOf(view, 0, "Date Created"),
        born.isValid() ? born.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString());

    // Values are read when asked: a file moved away shows 0.0 MB and no dates.
    ASSERT_TRUE(QFile::remove(path));
    view.flushWithItem(media);
    EXPECT_EQ(valueOf(view, 0, "Size"), QStringLiteral("0.0 MB"));
    EXPECT_EQ(valueOf(view, 0, "Date Created"), QString());
    EXPECT_EQ(valueOf(view, 0, "Data Modified"), QString());
    EXPECT_EQ(valueOf(view, 0, "Stream count"), QStringLiteral("3"));

    // Direct calls: positions outside the table give empty text.
    EXPECT_EQ(view.getValueWithIndex(8, 0), QString());
    EXPECT_EQ(view.getValueWithIndex(9, 1), QString());
    EXPECT_EQ(view.getValueWithIndex(0, 4), QString());
    EXPECT_EQ(view.getValueWithIndex(5, 2), QStringLiteral("6"));
}

TEST(MediaInfoWindow, ShowsTheItemAndOnlyHidesOnClose)
{
    QWidget owner;
    ZKMediaInfoWndCtl window(&owner);
    EXPECT_TRUE(window.isWindow());
    auto media = std::make_shared<LSMedia>();
    media->filePath = QStringLiteral("/nowhere/a.mp4");
    media->videoCodecName = QStringLiteral("vp9");
    window.showWindow();
    window.flushWithMedia(media);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.infoViewCtl()->media(), media);
    EXPECT_EQ(valueOf(*window.infoViewCtl(), 1, "Codec"), QStringLiteral("vp9"));
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    window.showWindow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.infoViewCtl()->media(), media);
}
