#pragma once

#include "Preferences/ZKFolderChooser.h"
#include "Preferences/ZKPreferencePane.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QListView;
class QToolButton;
class UserDefaults;

// The Trusted Paths pane and the keeper of the trusted folders: every folder
// the user handed to the application (an output folder, a dropped or imported
// folder, a folder added here). The list is stored under "BookmarksKey" as an
// array of bookmark data, in the order the folders were added, and restored
// when the pane's view loads, which the preferences window makes happen at
// launch. Interface thread only.
class ZKTrustedPathViewCtl : public QObject, public ZKPreferencePane {
    Q_OBJECT

public:
    // `defaults` must outlive the controller; null means the standard store.
    // The newest controller becomes the shared instance.
    explicit ZKTrustedPathViewCtl(UserDefaults* defaults = nullptr, QObject* parent = nullptr);
    ~ZKTrustedPathViewCtl() override;

    // The controller most recently created; null before the first one (or
    // after it is gone), so callers check before asking it anything.
    static ZKTrustedPathViewCtl* sharedInstance();

    // The stored folders that still exist and are the same folders they were
    // when trusted, one per path, in stored order. Elements that are not
    // bookmark data, no longer resolve or are stale are left out (they stay
    // stored until the next commit).
    static QList<QUrl> restoreDefaultsBookmarks(UserDefaults& defaults);
    // The same from the standard store.
    static QList<QUrl> restoreDefaultsBookmarks();

    // Trusts a folder and stores it at once. Nothing happens for a URL that
    // is not a local file, names nothing, or is already listed.
    void addToBookmarkWithURL(const QUrl& url);

    // The listed folders (`_aryItems`).
    QList<QUrl> trustedURLs() const;

    void setFolderChooser(ZKFolderChooser chooser);

    // The list view's rows.
    int numberOfRowsInTableView() const;
    QString tableViewObjectValueForRow(int row) const;

    // ZKPreferencePane
    QString identifier() const override;
    QIcon toolbarItemImage() const override;
    QString toolbarItemLabel() const override;
    // Rewrites "BookmarksKey" from the list, leaving out folders that are
    // gone; always true.
    bool commitEditing() override;
    QWidget* view() override;
    bool isViewLoaded() const override;

public slots:
    // Asks for folders (several at once) and trusts each.
    void addFolderDown();
    // Takes the selected folders off the list; the stored array follows at
    // the next commit.
    void removeFolderDown();

private:
    class ListModel;

    void awakeFromNib();
    void restoreIfNeeded();
    bool containsPath(const QString& path) const;
    void reloadData();
    void scheduleReload();
    void updateButtons();

    UserDefaults& m_defaults;
    ZKFolderChooser m_chooser;
    QList<QUrl> _aryItems;
    bool m_bRestored = false;
    bool m_bReloadQueued = false;

    QPointer<QWidget> m_view;
    QListView* _tableView = nullptr;
    ListModel* m_model = nullptr;
    QToolButton* m_btnRemove = nullptr;
};
