#pragma once

#include "Views/ZKFmtSettingsViewCtl.h"

#include <QDialog>

#include <cstdint>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

// Answers the settings sheet's questions about the list it steps through.
class FormatSettingWndCtlDelegate {
public:
    virtual ~FormatSettingWndCtlDelegate() = default;
    virtual int32_t mediasCount() { return 0; }
    virtual int32_t indexOfMedia(const std::shared_ptr<LSMedia>& /*media*/) { return -1; }
    // Asked to show the previous or next item (by calling setMediaSyc).
    virtual void formatWndPrevDown(QObject* /*sender*/) { }
    virtual void formatWndNextDown(QObject* /*sender*/) { }
};

// The settings panel as a sheet: one item at a time with Previous, Next,
// Done and Cancel. Nothing reaches the item until Previous, Next or Done;
// Cancel leaves it as it was. Runs window-modal over its parent window.
class FormatSettingWndCtl : public QDialog {
    Q_OBJECT

public:
    // Loads the window and registers it as the shared instance.
    explicit FormatSettingWndCtl(QWidget* parent = nullptr);
    ~FormatSettingWndCtl() override;

    // The instance registered by the constructor, or none.
    static FormatSettingWndCtl* sharedFormatSettingWndCtl();

    void setDelegate(FormatSettingWndCtlDelegate* delegate) { m_delegate = delegate; }
    FormatSettingWndCtlDelegate* delegate() const { return m_delegate; }

    // Remembers and shows an item; showing never writes into it.
    void setMediaSyc(const std::shared_ptr<LSMedia>& media);
    std::shared_ptr<LSMedia> mediaSyc() const { return settingsView->media(); }

    // Shows the sheet window-modal over the window (the parent when null).
    void beginSheet(QWidget* window = nullptr);

    void prevDown();
    void nextDown();
    void doneDown();
    void cancelDown();
    void profilePBtnDown();

    // The shared controls of the panel, in sheet presentation.
    ZKFmtSettingsViewCtl* settingsView = nullptr;
    QLabel* lblTitle = nullptr;
    QCheckBox* btnChkDefault = nullptr;
    QPushButton* btnPrev = nullptr;
    QPushButton* btnNext = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnDone = nullptr;
    QGroupBox* boxProfile = nullptr;
    QComboBox* pBtnProfile = nullptr;
    QLabel* profileImgView = nullptr;
    QLabel* lblProfileDesc = nullptr;

    static QString iBooksAuthorTitle();

private:
    bool pickFormat(const QString& title);
    void showProfileBox(bool show);
    void refreshPrevNext();

    FormatSettingWndCtlDelegate* m_delegate = nullptr;
};
