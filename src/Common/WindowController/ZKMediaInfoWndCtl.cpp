#include "Common/WindowController/ZKMediaInfoWndCtl.h"

#include "Media/LSMedia.h"
#include "Views/VQMediaInfoViewCtl.h"

#include <QVBoxLayout>

ZKMediaInfoWndCtl::ZKMediaInfoWndCtl(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("ZKMediaInfoWndCtl"));
    awakeFromNib();
}

ZKMediaInfoWndCtl::~ZKMediaInfoWndCtl() = default;

void ZKMediaInfoWndCtl::awakeFromNib()
{
    if (_nibAwaked)
        return;
    setWindowTitle(tr("Media Information"));
    resize(460, 540);
    _infoViewCtl = new VQMediaInfoViewCtl(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(_infoViewCtl);
    _nibAwaked = true;
}

void ZKMediaInfoWndCtl::showWindow()
{
    show();
    raise();
    activateWindow();
}

void ZKMediaInfoWndCtl::flushWithMedia(const std::shared_ptr<LSMedia>& media)
{
    _infoViewCtl->flushWithItem(media);
}
