#pragma once

#include "Preferences/ZKFolderChooser.h"
#include "Preferences/ZKPreferencePane.h"

#include <QObject>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLineEdit;
class UserDefaults;

// The General pane: how many conversions run at once, the hand-over of
// finished files to the music library playlist, and the output folders for
// video and audio (the snapshot folder is shown, not changed here). The
// count and the check box are stored when the pane commits; a chosen folder
// is stored at once and becomes a trusted folder. Interface thread only.
class ZKPreferGeneralViewCtl : public QObject, public ZKPreferencePane {
    Q_OBJECT

public:
    // The largest count the pop-up offers.
    static constexpr int kMaxConvertChoices = 8;

    // `defaults` must outlive the controller; null means the standard store.
    explicit ZKPreferGeneralViewCtl(UserDefaults* defaults = nullptr, QObject* parent = nullptr);
    ~ZKPreferGeneralViewCtl() override;

    void setFolderChooser(ZKFolderChooser chooser);

    static QString defaultVideoPath();
    static QString defaultAudioPath();
    static QString defaultSnapshotPath();

    // ZKPreferencePane
    QString identifier() const override;
    QIcon toolbarItemImage() const override;
    QString toolbarItemLabel() const override;
    // Stores the count, the check box and the two output folders; always true.
    bool commitEditing() override;
    QWidget* view() override;
    bool isViewLoaded() const override;
    // Shows the stored values again, so that a folder replaced elsewhere
    // since the pane was filled is not written back over the new one.
    void viewWillAppear() override;

public slots:
    void videoBrowseDown();
    void audioBrowseDown();
    void videoOpenDown();
    void audioOpenDown();
    void snapshotOpenDown();
    // Asks for one folder; on OK it is trusted, shown and stored at once.
    void browseFolderWithIsVideo(bool isVideo);

private:
    void awakeFromNib();
    void selectConvertCount(qint64 count);
    static void showFolder(const QLineEdit* field);

    UserDefaults& m_defaults;
    ZKFolderChooser m_chooser;

    QPointer<QWidget> m_view;
    QComboBox* pBtnNumConvert = nullptr;
    QCheckBox* chkSynciTunes = nullptr;
    QLineEdit* _lblVideoPath = nullptr;
    QLineEdit* _lblAudioPath = nullptr;
    QLineEdit* _lblSnapshotPath = nullptr;
};
