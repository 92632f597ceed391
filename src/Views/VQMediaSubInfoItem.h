#pragma once

#include <QString>

#include <cstdint>
#include <memory>

// One row of the media information outline: its label and the group it
// belongs to (0 Summary, 1 Video Stream, 2 Audio Stream, 3 Meta Data).
// For metadata rows the label is the tag's key.
class VQMediaSubInfoItem {
public:
    static std::shared_ptr<VQMediaSubInfoItem> itemWithKey(const QString& key, int32_t type);

    QString itemKey;
    int32_t itemType = 0;
};

using VQMediaSubInfoItemPtr = std::shared_ptr<VQMediaSubInfoItem>;
