#pragma once

#include "RAZedIruvIvizor/ZKAVURLAsset.h"

#include <QString>

#include <memory>

// What a player plays: one asset and the probed facts the player needs,
// copied when the item is made. The player's decoding thread works on this
// copy only, so the asset itself (an LSMedia the interface keeps editing)
// is never read from that thread. Immutable after creation.
class ZKAVPlayerItem
{
public:
    static std::shared_ptr<ZKAVPlayerItem> playerItemWithAsset(const std::shared_ptr<const ZKAVURLAsset>& asset);
    // An item for a file that has not been probed: the player learns its
    // streams when it opens it.
    static std::shared_ptr<ZKAVPlayerItem> playerItemWithPath(const QString& path);

    const std::shared_ptr<const ZKAVURLAsset>& asset() const { return m_asset; }
    const QString& filePath() const { return m_filePath; }

    // Whether the probed facts below are known (the asset was loaded).
    bool isProbed() const { return m_probed; }
    bool hasVideo() const { return m_hasVideo; }
    double duration() const { return m_duration; }
    int32_t pixWidth() const { return m_pixWidth; }    // upright picture size
    int32_t pixHeight() const { return m_pixHeight; }
    ZKAVRational displayAspectRatio() const { return m_dar; }

private:
    ZKAVPlayerItem() = default;

    std::shared_ptr<const ZKAVURLAsset> m_asset;
    QString m_filePath;
    bool m_probed = false;
    bool m_hasVideo = false;
    double m_duration = 0;
    int32_t m_pixWidth = 0;
    int32_t m_pixHeight = 0;
    ZKAVRational m_dar;
};

using ZKAVPlayerItemPtr = std::shared_ptr<ZKAVPlayerItem>;
