#include "Views/VQMediaSubInfoItem.h"

std::shared_ptr<VQMediaSubInfoItem> VQMediaSubInfoItem::itemWithKey(const QString& key, int32_t type)
{
    auto item = std::make_shared<VQMediaSubInfoItem>();
    item->itemKey = key;
    item->itemType = type;
    return item;
}
