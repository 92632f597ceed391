#pragma once

#include "Common/WindowController/ZKMediaInfoWndCtl.h"

#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <memory>

class LSMedia;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QStandardItem;
class QStandardItemModel;
class QToolButton;
class ZKFmtSettingsViewCtl;

// Told by the settings panel after every commit into its item.
class ZKFmtSettingsViewCtlDelegate {
public:
    virtual ~ZKFmtSettingsViewCtlDelegate() = default;
    virtual void fmtSettingsViewCtlSettingsDidChanged(ZKFmtSettingsViewCtl* /*panel*/) { }
};

// The format settings panel: the output profile of one media item and its
// output settings (codecs, bit rates, frame rate, resolution, aspect, sample
// rate) beside the source's own properties. The embedded panel writes every
// change the user makes into its item at once and then tells its delegate
// (and emits settingsDidChanged). The sheet presentation (FormatSettingWndCtl)
// uses the same controls but writes only when asked to.
class ZKFmtSettingsViewCtl : public QWidget {
    Q_OBJECT

public:
    enum class Presentation { Embedded, Sheet };

    explicit ZKFmtSettingsViewCtl(QWidget* parent = nullptr);
    ZKFmtSettingsViewCtl(Presentation presentation, QWidget* parent);
    ~ZKFmtSettingsViewCtl() override;

    // The item shown (none disables every control but keeps the menu).
    void flushWithMedia(const std::shared_ptr<LSMedia>& media);
    std::shared_ptr<LSMedia> media() const { return mediaSyc; }

    // Not owned; the host outlives the panel.
    void setDelegate(ZKFmtSettingsViewCtlDelegate* delegate) { m_delegate = delegate; }
    ZKFmtSettingsViewCtlDelegate* delegate() const { return m_delegate; }

    // Writes the controls into the item (and, embedded, tells the delegate).
    void finishedSettings();
    // Stores the chosen profile as the default for new items of its kind.
    void saveSettinsToDefaults();
    // Opens the media information window for the item shown.
    void moreInfoClicked(QObject* sender = nullptr);
    // Focuses the format menu and opens it.
    void focusOnFmtPopUpButton();
    ZKMediaInfoWndCtl* infoWndCtl() const { return m_infoWndCtl; }

    // Title of the format menu's selected entry; empty when none is selected.
    QString selectedFormatTitle() const;
    // The catalogue profile of that entry; empty when it has none.
    QVariantMap selectedProfile() const;

    // Modal alerts go through one hook so that tests can answer them
    // without a person; the default shows a message box over the panel.
    using AlertHandler
        = std::function<void(QWidget* parent, const QString& title, const QString& message, const QString& button)>;
    static void setAlertHandler(AlertHandler handler);

    // The sheet takes a profile pick first: true means it handled the pick
    // itself and the panel loads nothing.
    void setFormatPickHandler(std::function<bool(const QString& title)> handler) { m_pickHandler = std::move(handler); }

    // --- actions (the controls are connected to these) ---
    void pFormatBtnDown();
    void bitrateOptionDown(int tag);
    void controlTextDidChange(QComboBox* control);
    void comboBoxSelectionDidChange(QComboBox* control);

    // --- showing ---
    void flushInterfaceWithMedia(const std::shared_ptr<LSMedia>& media);
    void flushFmtMenuWithMeidaType(int mediaType);
    void configureMtrixBitrate();
    void clearAllFormatInfo(bool videoToo);
    void setItem(QStandardItem* item, const QImage& image);
    void clearAllFields();
    void enableAllFields();

    // --- controls (the layout's outlets) ---
    QComboBox* pBtnFormat = nullptr;
    QToolButton* btnMoreInfo = nullptr;
    QComboBox* pCombVCodec = nullptr;
    QComboBox* pCombResolution = nullptr;
    QComboBox* pCombVBitrate = nullptr;
    QComboBox* pCombFps = nullptr;
    QButtonGroup* mtrxBitrate = nullptr;
    QRadioButton* radioSameQuality = nullptr;
    QRadioButton* radioBitrate = nullptr;
    QComboBox* pCombACodec = nullptr;
    QComboBox* pCombSamplerate = nullptr;
    QComboBox* pCombABitrate = nullptr;
    QLabel* lblOrigenVideoInfo = nullptr;
    QLabel* lblOrigenAudioInfo = nullptr;
    QComboBox* pBtnAspect = nullptr;
    QWidget* topStyleView = nullptr;
    QWidget* bottomStyleView = nullptr;
    QWidget* boxFmts = nullptr;
    QGroupBox* boxVideo = nullptr;
    QGroupBox* boxAudio = nullptr;

    QString strCurExtName;
    QString strLastCorrectRes;

protected:
    void changeEvent(QEvent* event) override;

signals:
    // After every commit of the embedded panel, with the delegate call.
    void settingsDidChanged();

private:
    void awakeFromNib();
    void buildLayout();
    void refreshInfoIcon();
    void connectControls();
    void loadSelectedProfile();
    void setVideoControlsEnabled(bool enabled);
    void fillList(QComboBox* list, const QVariantMap& profile, const QString& key);
    void fillSourceInfo();
    bool checkResolution();
    void showAlert(const QString& title, const QString& message, const QString& button);

    Presentation m_presentation = Presentation::Embedded;
    std::shared_ptr<LSMedia> mediaSyc;
    ZKFmtSettingsViewCtlDelegate* m_delegate = nullptr;
    QPointer<ZKMediaInfoWndCtl> m_infoWndCtl;
    QStandardItemModel* m_fmtMenuModel = nullptr;
    std::function<bool(const QString&)> m_pickHandler;
    bool nibAwaked = false;
};
