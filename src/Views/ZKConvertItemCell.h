#pragma once

#include <QWidget>

#include <memory>

class ConvertPrgIndicator;
class LSMedia;
class QLabel;
class QToolButton;

inline const QString LSConvertDidTogglePausePlayNotification
    = QStringLiteral("LSConvertDidTogglePausePlayNotification");
inline const QString LSConvertDidClickCancelNotification = QStringLiteral("LSConvertDidClickCancelNotification");

// One row of the conversion queue: output name, thumbnail, state text with
// the time left, percentage, progress bar, and pause/resume and cancel
// buttons. Its buttons post the two row notifications (object: the row);
// the queue window acts on them.
class ZKConvertItemCell : public QWidget {
public:
    explicit ZKConvertItemCell(QWidget* parent = nullptr);

    const std::shared_ptr<LSMedia>& objectValue() const { return m_media; }
    // Shows the bar, both buttons and the percentage, the pause image, then redraws.
    void setObjectValue(const std::shared_ptr<LSMedia>& media);
    // Redraws the row from its item.
    void refreshDisplay();

    void togglePlayPauseDown();
    void cancelConvertDown();

    QLabel* textField() const { return m_title; }
    QLabel* imageView() const { return m_image; }
    ConvertPrgIndicator* _indicator = nullptr;
    QLabel* _lblSubTitle = nullptr;
    QLabel* _lblProgress = nullptr;
    QToolButton* _btnPlayPause = nullptr;
    QToolButton* _btnCancel = nullptr;
    // The image name the pause/resume button shows: "PrgPause" or "PrgContinue".
    QString playPauseImageName() const { return m_playPauseImage; }

private:
    void setPlayPauseImage(const QString& name);
    void setControlsVisible(bool visible);

    std::shared_ptr<LSMedia> m_media;
    QLabel* m_title = nullptr;
    QLabel* m_image = nullptr;
    QString m_playPauseImage;
};
