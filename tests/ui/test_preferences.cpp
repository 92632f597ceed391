#include "Platform/Bookmarks.h"
#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"
#include "Preferences/ZKPreferGeneralViewCtl.h"
#include "Preferences/ZKPreferencesWndCtl.h"
#include "Preferences/ZKTrustedPathViewCtl.h"
#include "Settings/GlobalResources.h"
#include "Settings/SettingsKeys.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Answers every folder question at once with the folders it was given.
struct FakeChooser {
    QStringList answer;
    int calls = 0;
    ZKFolderRequest last;

    ZKFolderChooser function()
    {
        return [this](const ZKFolderRequest& request, std::function<void(const QStringList&)> done) {
            ++calls;
            last = request;
            done(answer);
        };
    }
};

UserDefaults& store()
{
    return UserDefaults::standardUserDefaults();
}

// What another process would read from the settings file now.
QVariant onDisk(const QString& key)
{
    UserDefaults fresh(store().filePath());
    return fresh.objectForKey(key);
}

QStringList storedBookmarkPaths(const QVariant& value)
{
    QStringList paths;
    for (const QVariant& element : value.toList()) {
        const auto record = Bookmarks::decode(element.toByteArray());
        paths.append(record ? record->path : QStringLiteral("<not a bookmark>"));
    }
    return paths;
}

QStringList paths(const QList<QUrl>& urls)
{
    QStringList out;
    for (const QUrl& url : urls)
        out.append(url.toLocalFile());
    return out;
}

template <typename T> T* control(QWidget* view, const char* name)
{
    T* widget = view->findChild<T*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

class Preferences : public ::testing::Test {
protected:
    void SetUp() override
    {
        GlobalResources::prepareGlobalRes();
        for (const QString& key : { AppMaxConvertNumKey, AppVideoOutputFolderKey, AppAudioOutputFolderKey,
                 AppSnapShotFolderKey, AppBSyncToiTunesKey, BookmarksKey, ZKPreferencesWndCtl::lastPaneKey() })
            store().removeObjectForKey(key);
        store().synchronize();
        ASSERT_TRUE(tmp.isValid());
        Workspace::setOpenUrlFunction([this](const QUrl& url) {
            opened.append(url);
            return true;
        });
    }

    void TearDown() override { Workspace::setOpenUrlFunction({}); }

    QString folder(const QString& name)
    {
        const QString path = tmp.filePath(name);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }

    // A launch of the application: a new window controller over the same store.
    std::unique_ptr<ZKPreferencesWndCtl> launch()
    {
        auto ctl = std::make_unique<ZKPreferencesWndCtl>();
        ctl->setFolderChooser(chooser.function());
        ctl->loadAtLaunch();
        return ctl;
    }

    QTemporaryDir tmp;
    FakeChooser chooser;
    QList<QUrl> opened;
};

TEST_F(Preferences, WindowHasTitleAndPanesInOrder)
{
    auto ctl = launch();
    EXPECT_EQ(ctl->window()->windowTitle(), QStringLiteral("Preferences"));
    const QList<QAction*> actions = ctl->window()->findChild<QToolBar*>()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("General"));
    EXPECT_EQ(actions[1]->text(), QStringLiteral("Trusted Paths"));
    EXPECT_FALSE(actions[0]->icon().isNull());
    EXPECT_FALSE(actions[1]->icon().isNull());
    EXPECT_EQ(ctl->generalViewCtl()->identifier(), QStringLiteral("General"));
    EXPECT_EQ(ctl->trustedPathViewCtl()->identifier(), QStringLiteral("TrustedViewController"));
    EXPECT_EQ(ZKPreferencesWndCtl::sharedInstance(), ctl.get());
    EXPECT_EQ(ZKTrustedPathViewCtl::sharedInstance(), ctl->trustedPathViewCtl());

    // Launch leaves the window off screen with General chosen and checked.
    EXPECT_FALSE(ctl->window()->isVisible());
    EXPECT_EQ(ctl->selectedPaneIdentifier(), QStringLiteral("General"));
    EXPECT_TRUE(actions[0]->isChecked());
    EXPECT_FALSE(actions[1]->isChecked());
    actions[1]->trigger();
    EXPECT_EQ(ctl->selectedPaneIdentifier(), QStringLiteral("TrustedViewController"));
    EXPECT_TRUE(actions[1]->isChecked());

    ctl.reset();
    EXPECT_EQ(ZKPreferencesWndCtl::sharedInstance(), nullptr);
    EXPECT_EQ(ZKTrustedPathViewCtl::sharedInstance(), nullptr);
}

TEST_F(Preferences, FactoryValuesShownAndStoredWhenTheWindowCloses)
{
    // A stored folder that no longer exists is shown as its default.
    const QString gone = tmp.filePath("gone");
    store().setString(gone, AppAudioOutputFolderKey);

    auto ctl = launch();
    QWidget* view = ctl->generalViewCtl()->view();
    EXPECT_EQ(control<QComboBox>(view, "pBtnNumConvert")->currentData().toInt(), 2);
    EXPECT_FALSE(control<QCheckBox>(view, "chkSynciTunes")->isChecked());
    EXPECT_EQ(control<QLineEdit>(view, "_lblVideoPath")->text(), GlobalResources::defaultVideoPath());
    EXPECT_EQ(control<QLineEdit>(view, "_lblAudioPath")->text(), GlobalResources::defaultAudioPath());
    EXPECT_EQ(control<QLineEdit>(view, "_lblSnapshotPath")->text(), GlobalResources::defaultSnapshotPath());
    // Showing is not storing.
    EXPECT_FALSE(store().hasStoredValue(AppVideoOutputFolderKey));
    EXPECT_EQ(store().stringForKey(AppAudioOutputFolderKey), gone);

    ctl->showWindow();
    EXPECT_TRUE(ctl->window()->isVisible());
    EXPECT_TRUE(ctl->closeWindow());
    EXPECT_FALSE(ctl->window()->isVisible());
    EXPECT_EQ(onDisk(AppVideoOutputFolderKey).toString(), GlobalResources::defaultVideoPath());
    EXPECT_EQ(onDisk(AppAudioOutputFolderKey).toString(), GlobalResources::defaultAudioPath());
    EXPECT_EQ(onDisk(AppMaxConvertNumKey).toInt(), 2);
    EXPECT_FALSE(store().hasStoredValue(AppSnapShotFolderKey));
}

TEST_F(Preferences, ChosenFolderIsStoredAtOnceAndTrustedOnce)
{
    struct Case {
        bool isVideo;
        const char* field;
        QString key;
    };
    for (const Case& c : { Case { true, "_lblVideoPath", AppVideoOutputFolderKey },
             Case { false, "_lblAudioPath", AppAudioOutputFolderKey } }) {
        SCOPED_TRACE(c.field);
        store().removeObjectForKey(BookmarksKey);
        auto ctl = launch();
        ctl->showWindow();
        ASSERT_TRUE(ctl->selectPaneWithIdentifier(QStringLiteral("General")));
        const QString chosen = folder(c.isVideo ? "my video" : "my audio");
        chooser.answer = { chosen };
        ctl->generalViewCtl()->browseFolderWithIsVideo(c.isVideo);
        EXPECT_EQ(chooser.last.window, ctl->window());
        EXPECT_FALSE(chooser.last.allowsMultiple);
        EXPECT_EQ(control<QLineEdit>(ctl->generalViewCtl()->view(), c.field)->text(), chosen);
        EXPECT_EQ(onDisk(c.key).toString(), chosen);
        EXPECT_EQ(paths(ctl->trustedPathViewCtl()->trustedURLs()), QStringList { chosen });
        EXPECT_EQ(storedBookmarkPaths(onDisk(BookmarksKey)), QStringList { chosen });

        // The same folder again, spelled differently: still one entry.
        chooser.answer = { chosen + "/./" };
        ctl->generalViewCtl()->browseFolderWithIsVideo(c.isVideo);
        EXPECT_EQ(paths(ctl->trustedPathViewCtl()->trustedURLs()), QStringList { chosen });
        EXPECT_EQ(storedBookmarkPaths(onDisk(BookmarksKey)), QStringList { chosen });

        // Cancel changes nothing.
        chooser.answer = {};
        ctl->generalViewCtl()->browseFolderWithIsVideo(c.isVideo);
        EXPECT_EQ(onDisk(c.key).toString(), chosen);

        // The quit does not commit; the choice is already kept.
        ctl.reset();
        EXPECT_EQ(onDisk(c.key).toString(), chosen);
        // The trusted list shows it after the row reload is delivered.
        auto again = launch();
        again->selectPaneWithIdentifier(QStringLiteral("TrustedViewController"));
        auto* list = control<QListView>(again->trustedPathViewCtl()->view(), "_tableView");
        ASSERT_EQ(list->model()->rowCount(), 1);
        EXPECT_EQ(list->model()->index(0, 0).data().toString(), chosen);
    }
}

TEST_F(Preferences, GeneralPaneCommitsOnLeavingAndOnClosing)
{
    auto ctl = launch();
    ctl->showWindow();
    QWidget* view = ctl->generalViewCtl()->view();
    auto* count = control<QComboBox>(view, "pBtnNumConvert");
    auto* sync = control<QCheckBox>(view, "chkSynciTunes");

    count->setCurrentIndex(count->findData(5));
    sync->setChecked(true);
    EXPECT_FALSE(store().hasStoredValue(AppMaxConvertNumKey));
    ASSERT_TRUE(ctl->selectPaneWithIdentifier(QStringLiteral("TrustedViewController")));
    EXPECT_EQ(onDisk(AppMaxConvertNumKey).toInt(), 5);
    EXPECT_TRUE(UserDefaults(store().filePath()).boolForKey(AppBSyncToiTunesKey));

    ASSERT_TRUE(ctl->selectPaneWithIdentifier(QStringLiteral("General")));
    count->setCurrentIndex(count->findData(3));
    sync->setChecked(false);
    EXPECT_TRUE(ctl->closeWindow());
    EXPECT_EQ(onDisk(AppMaxConvertNumKey).toInt(), 3);
    EXPECT_FALSE(UserDefaults(store().filePath()).boolForKey(AppBSyncToiTunesKey));

    // The next launch reads back what was stored (a true check box too).
    sync->setChecked(true);
    ctl->showWindow();
    EXPECT_FALSE(sync->isChecked()) << "opening the window shows the stored values";
    sync->setChecked(true);
    ctl->closeWindow();
    ctl.reset();
    auto next = launch();
    EXPECT_TRUE(control<QCheckBox>(next->generalViewCtl()->view(), "chkSynciTunes")->isChecked());
    EXPECT_EQ(control<QComboBox>(next->generalViewCtl()->view(), "pBtnNumConvert")->currentData().toInt(), 3);
}

TEST_F(Preferences, OpeningTheWindowShowsFoldersStoredMeanwhile)
{
    // The convert action may replace a vanished folder while the pane sits
    // loaded since launch; the pane must not write the old one back.
    const QString before = folder("before");
    store().setString(before, AppVideoOutputFolderKey);
    auto ctl = launch();
    EXPECT_EQ(control<QLineEdit>(ctl->generalViewCtl()->view(), "_lblVideoPath")->text(), before);
    const QString after = folder("after");
    store().setString(after, AppVideoOutputFolderKey);
    ctl->showWindow();
    EXPECT_EQ(control<QLineEdit>(ctl->generalViewCtl()->view(), "_lblVideoPath")->text(), after);
    ctl->closeWindow();
    EXPECT_EQ(store().stringForKey(AppVideoOutputFolderKey), after);
}

TEST_F(Preferences, StoredCountIsShownAsACountThatCanRun)
{
    struct Case {
        QVariant stored;
        int shown;
    };
    const Case cases[] = {
        { QVariant(0), 1 },
        { QVariant(-3), 1 },
        { QVariant(QStringLiteral("many")), 1 },
        { QVariant(1), 1 },
        { QVariant(5), 5 },
        { QVariant(12), 12 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toString().toStdString());
        store().setObject(c.stored, AppMaxConvertNumKey);
        ZKPreferGeneralViewCtl pane;
        auto* count = control<QComboBox>(pane.view(), "pBtnNumConvert");
        EXPECT_EQ(count->currentData().toInt(), c.shown);
        EXPECT_EQ(count->currentText(), QString::number(c.shown));
        EXPECT_TRUE(pane.commitEditing());
        EXPECT_EQ(store().integerForKey(AppMaxConvertNumKey), c.shown);
        // Every item carries the count it shows.
        for (int i = 0; i < count->count(); ++i)
            EXPECT_EQ(count->itemText(i), QString::number(count->itemData(i).toInt()));
    }
}

TEST_F(Preferences, ShowFolderButtonsOpenTheShownFolder)
{
    const QString video = folder("video out");
    store().setString(video, AppVideoOutputFolderKey);
    ZKPreferGeneralViewCtl pane;
    QWidget* view = pane.view();
    pane.videoOpenDown();
    pane.snapshotOpenDown();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(video));
    EXPECT_EQ(opened[1], QUrl::fromLocalFile(GlobalResources::defaultSnapshotPath()));

    opened.clear();
    control<QLineEdit>(view, "_lblAudioPath")->setText(QString());
    pane.audioOpenDown();
    EXPECT_TRUE(opened.isEmpty());
    // An empty field is not stored either: the previous folder stays.
    store().setString(video, AppAudioOutputFolderKey);
    pane.commitEditing();
    EXPECT_EQ(store().stringForKey(AppAudioOutputFolderKey), video);
}

TEST_F(Preferences, TrustedListKeepsOneEntryPerFolder)
{
    const QString a = folder("a");
    const QString b = folder("b");
    ZKTrustedPathViewCtl trusted;
    trusted.setFolderChooser(chooser.function());
    trusted.view();
    trusted.addToBookmarkWithURL(QUrl::fromLocalFile(a));
    trusted.addToBookmarkWithURL(QUrl::fromLocalFile(a + "/"));
    trusted.addToBookmarkWithURL(QUrl::fromLocalFile(tmp.filePath("missing")));
    trusted.addToBookmarkWithURL(QUrl(QStringLiteral("https://example.invalid/a")));
    EXPECT_EQ(paths(trusted.trustedURLs()), QStringList { a });

    // Several at once from the pane's own button, one of them known already.
    chooser.answer = { b, a };
    trusted.addFolderDown();
    EXPECT_TRUE(chooser.last.allowsMultiple);
    EXPECT_EQ(paths(trusted.trustedURLs()), (QStringList { a, b }));
    EXPECT_EQ(storedBookmarkPaths(onDisk(BookmarksKey)), (QStringList { a, b }));
    EXPECT_EQ(trusted.numberOfRowsInTableView(), 2);
    EXPECT_EQ(trusted.tableViewObjectValueForRow(1), b);

    // A dropped folder goes through the shared instance.
    ASSERT_EQ(ZKTrustedPathViewCtl::sharedInstance(), &trusted);
    ZKTrustedPathViewCtl::sharedInstance()->addToBookmarkWithURL(QUrl::fromLocalFile(b));
    EXPECT_EQ(storedBookmarkPaths(onDisk(BookmarksKey)), (QStringList { a, b }));

    // Two stored bookmarks of one folder, damaged data and a stale bookmark
    // (the folder was replaced by another of the same name) give one entry.
    auto record = Bookmarks::decode(Bookmarks::bookmarkDataForPath(folder("replaced")));
    ASSERT_TRUE(record);
    record->inode += 1;
    const QByteArray oldReplaced = Bookmarks::encode(*record);
    const QByteArray dataA = Bookmarks::bookmarkDataForPath(a);
    store().setObject(
        QVariantList { dataA, QByteArray("garbage"), QStringLiteral("text"), dataA, oldReplaced }, BookmarksKey);
    EXPECT_EQ(paths(ZKTrustedPathViewCtl::restoreDefaultsBookmarks(store())), QStringList { a });
    store().setString(QStringLiteral("not a list"), BookmarksKey);
    EXPECT_TRUE(ZKTrustedPathViewCtl::restoreDefaultsBookmarks(store()).isEmpty());
}

TEST_F(Preferences, DeletedFolderIsDroppedAfterRelaunchAndFromTheStoreAtNextCommit)
{
    const QString keep = folder("keep");
    const QString doomed = folder("doomed");
    {
        ZKTrustedPathViewCtl first;
        first.view();
        first.addToBookmarkWithURL(QUrl::fromLocalFile(doomed));
        first.addToBookmarkWithURL(QUrl::fromLocalFile(keep));
    }
    ASSERT_TRUE(QDir(doomed).removeRecursively());

    ZKTrustedPathViewCtl relaunched;
    auto* list = control<QListView>(relaunched.view(), "_tableView");
    EXPECT_EQ(paths(relaunched.trustedURLs()), QStringList { keep });
    EXPECT_EQ(list->model()->rowCount(), 1);
    EXPECT_EQ(storedBookmarkPaths(onDisk(BookmarksKey)), (QStringList { doomed, keep }));
    EXPECT_TRUE(relaunched.commitEditing());
    EXPECT_EQ(storedBookmarkPaths(onDisk(BookmarksKey)), QStringList { keep });
}

TEST_F(Preferences, RemovedFolderLeavesTheStoreWhenThePaneCommits)
{
    const QString a = folder("a");
    const QString b = folder("b");
    {
        ZKTrustedPathViewCtl seed;
        seed.addToBookmarkWithURL(QUrl::fromLocalFile(a));
        seed.addToBookmarkWithURL(QUrl::fromLocalFile(b));
    }

    // Removing and quitting without leaving the pane keeps the bookmark.
    store().setString(QStringLiteral("TrustedViewController"), ZKPreferencesWndCtl::lastPaneKey());
    {
        auto ctl = launch();
        ASSERT_EQ(ctl->selectedPaneIdentifier(), QStringLiteral("TrustedViewController"));
        auto* list = control<QListView>(ctl->trustedPathViewCtl()->view(), "_tableView");
        list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::Select);
        ctl->trustedPathViewCtl()->removeFolderDown();
        EXPECT_EQ(paths(ctl->trustedPathViewCtl()->trustedURLs()), QStringList { b });
        EXPECT_EQ(storedBookmarkPaths(onDisk(BookmarksKey)), (QStringList { a, b }));
    }
    EXPECT_EQ(storedBookmarkPaths(onDisk(BookmarksKey)), (QStringList { a, b }));

    // Removing and switching to General drops it.
    auto ctl = launch();
    ctl->showWindow();
    auto* list = control<QListView>(ctl->trustedPathViewCtl()->view(), "_tableView");
    ASSERT_EQ(list->model()->rowCount(), 2);
    list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
    ctl->trustedPathViewCtl()->removeFolderDown();
    ASSERT_TRUE(ctl->selectPaneWithIdentifier(QStringLiteral("General")));
    EXPECT_EQ(storedBookmarkPaths(onDisk(BookmarksKey)), QStringList { a });
}

TEST_F(Preferences, LaunchRestoresTrustedFoldersAndRemembersTheLastPane)
{
    const QString a = folder("a");
    store().setObject(QVariantList { Bookmarks::bookmarkDataForPath(a) }, BookmarksKey);

    for (const QString& last : { QString(), QStringLiteral("General"), QStringLiteral("bogus") }) {
        SCOPED_TRACE(last.toStdString());
        store().setString(last, ZKPreferencesWndCtl::lastPaneKey());
        auto ctl = launch();
        EXPECT_TRUE(ctl->trustedPathViewCtl()->isViewLoaded());
        EXPECT_EQ(paths(ctl->trustedPathViewCtl()->trustedURLs()), QStringList { a });
        EXPECT_EQ(ctl->selectedPaneIdentifier(), QStringLiteral("General"));
        EXPECT_EQ(store().stringForKey(ZKPreferencesWndCtl::lastPaneKey()), QStringLiteral("General"));
    }

    {
        auto ctl = launch();
        ctl->showWindow();
        ctl->selectPaneWithIdentifier(QStringLiteral("TrustedViewController"));
        ctl->closeWindow();
    }
    auto ctl = launch();
    EXPECT_EQ(ctl->selectedPaneIdentifier(), QStringLiteral("TrustedViewController"));
    EXPECT_EQ(paths(ctl->trustedPathViewCtl()->trustedURLs()), QStringList { a });
    ctl->showWindow();
    EXPECT_EQ(ctl->selectedPaneIdentifier(), QStringLiteral("TrustedViewController"));
}

TEST_F(Preferences, EveryPaneDraws)
{
    const QString out = qEnvironmentVariable("TRELVIO_PREFS_SHOTS");
    store().setObject(QVariantList { Bookmarks::bookmarkDataForPath(folder("Concert recordings")),
                          Bookmarks::bookmarkDataForPath(folder("Holiday 2024/Camera")) },
        BookmarksKey);
    auto ctl = launch();
    ctl->showWindow();
    for (const QString& id : { QStringLiteral("General"), QStringLiteral("TrustedViewController") }) {
        ASSERT_TRUE(ctl->selectPaneWithIdentifier(id));
        QCoreApplication::processEvents();
        const QImage shot = ctl->window()->grab().toImage();
        EXPECT_FALSE(shot.isNull());
        EXPECT_GT(shot.width(), 400);
        if (!out.isEmpty())
            shot.save(out + "/" + id + ".png");
    }
    ctl->closeWindow();

    // The empty list draws its hint.
    ctl->trustedPathViewCtl()->view()->findChild<QListView*>()->selectAll();
    ctl->trustedPathViewCtl()->removeFolderDown();
    ctl->showWindow();
    const QImage empty = ctl->window()->grab().toImage();
    EXPECT_FALSE(empty.isNull());
    if (!out.isEmpty())
        empty.save(out + "/TrustedEmpty.png");
}

} // namespace
