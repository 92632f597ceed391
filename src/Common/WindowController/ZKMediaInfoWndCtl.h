#pragma once

#include <QWidget>

#include <memory>

class LSMedia;
class VQMediaInfoViewCtl;

// A window of its own that shows the media information outline for one item
// (opened from the format settings panel). Closing the window only hides it;
// the controller is kept and reused by its opener.
class ZKMediaInfoWndCtl : public QWidget {
    Q_OBJECT

public:
    // A parent keeps the window above it and ties its lifetime to it.
    explicit ZKMediaInfoWndCtl(QWidget* parent = nullptr);
    ~ZKMediaInfoWndCtl() override;

    // Shows, raises and activates the window.
    void showWindow();
    // Shows the item (or nothing) in the window's outline.
    void flushWithMedia(const std::shared_ptr<LSMedia>& media);

    VQMediaInfoViewCtl* infoViewCtl() const { return _infoViewCtl; }

private:
    void awakeFromNib();

    VQMediaInfoViewCtl* _infoViewCtl = nullptr;
    bool _nibAwaked = false;
};
