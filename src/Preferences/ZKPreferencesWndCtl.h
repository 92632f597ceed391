#pragma once

#include "Preferences/ZKFolderChooser.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QStackedWidget;
class QToolBar;
class QWidget;
class UserDefaults;
class ZKPreferGeneralViewCtl;
class ZKPreferencePane;
class ZKTrustedPathViewCtl;

// The preferences window: one toolbar button per pane (General, then Trusted
// Paths) above the selected pane's view. Leaving a pane or closing the window
// asks the shown pane to commit its edits; the last shown pane is remembered
// under "ZKPreferencesLastPaneKey".
//
// The application creates one controller when launching has finished, calls
// loadAtLaunch() at once (which restores the trusted folders before any file
// is opened) and showWindow() for the Preferences menu item. The controller
// owns its window and panes; destroy it before the application object.
// Interface thread only.
class ZKPreferencesWndCtl : public QObject {
    Q_OBJECT

public:
    // `defaults` must outlive the controller; null means the standard store.
    // The newest controller becomes the shared instance.
    explicit ZKPreferencesWndCtl(UserDefaults* defaults = nullptr, QObject* parent = nullptr);
    ~ZKPreferencesWndCtl() override;

    // The controller most recently created, or null.
    static ZKPreferencesWndCtl* sharedInstance();

    // Where the identifier of the last shown pane is stored.
    static QString lastPaneKey();

    // Launch step: the remembered pane is selected when it is Trusted Paths;
    // otherwise Trusted Paths is shown once (restoring the trusted folders)
    // and then General. The window is built but not shown.
    void loadAtLaunch();

    // The Preferences menu item: brings the window to the front.
    void showWindow();
    // Closes the window as its close button does; false when the shown pane
    // refused to commit and the window stays open. Nothing happens while the
    // window is not on screen.
    bool closeWindow();

    // Shows a pane; the pane that was shown commits first and may refuse,
    // in which case it stays. True when `identifier` is the shown pane after.
    bool selectPaneWithIdentifier(const QString& identifier);
    QString selectedPaneIdentifier() const;

    QWidget* window() const;
    ZKPreferGeneralViewCtl* generalViewCtl() const;
    ZKTrustedPathViewCtl* trustedPathViewCtl() const;

    // Puts one folder chooser in place for both panes.
    void setFolderChooser(const ZKFolderChooser& chooser);

private:
    class Window;

    void buildWindow();
    void loadWindowIfNeeded();
    ZKPreferencePane* paneWithIdentifier(const QString& identifier) const;
    bool windowShouldClose();
    void syncToolbar();

    UserDefaults& m_defaults;
    std::unique_ptr<ZKPreferGeneralViewCtl> m_general;
    std::unique_ptr<ZKTrustedPathViewCtl> m_trusted;
    std::vector<ZKPreferencePane*> m_panes;
    std::vector<QAction*> m_actions;

    std::unique_ptr<Window> m_window;
    QToolBar* m_toolbar = nullptr;
    QActionGroup* m_actionGroup = nullptr;
    QStackedWidget* m_stack = nullptr;
    ZKPreferencePane* m_selected = nullptr;
};
