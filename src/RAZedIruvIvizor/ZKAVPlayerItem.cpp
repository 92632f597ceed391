#include "RAZedIruvIvizor/ZKAVPlayerItem.h"

std::shared_ptr<ZKAVPlayerItem> ZKAVPlayerItem::playerItemWithAsset(const std::shared_ptr<const ZKAVURLAsset>& asset)
{
    if (!asset)
        return nullptr;
    std::shared_ptr<ZKAVPlayerItem> item(new ZKAVPlayerItem);
    item->m_asset = asset;
    item->m_filePath = asset->filePath;
    item->m_probed = asset->isLoaded;
    if (asset->isLoaded) {
        item->m_hasVideo = asset->mediaType == 0 && asset->videoTrack() != nullptr;
        item->m_duration = asset->duration;
        item->m_pixWidth = asset->pixWidth;
        item->m_pixHeight = asset->pixHeight;
        item->m_dar = asset->display_aspect_ratio;
    }
    return item;
}

std::shared_ptr<ZKAVPlayerItem> ZKAVPlayerItem::playerItemWithPath(const QString& path)
{
    std::shared_ptr<ZKAVPlayerItem> item(new ZKAVPlayerItem);
    item->m_filePath = path;
    return item;
}
