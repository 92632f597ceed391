#pragma once

#include "Media/LSMedia.h"

#include <QString>

#include <memory>
#include <vector>

// Loading of media items: opening each file and giving it its defaults.
class LSMediaLoader {
public:
    // Opens and probes the item on the calling thread, then gives it what a
    // freshly loaded item has: the whole file as its trim range, the default
    // profile from the settings (same-quality flag set) and, when asked, a
    // thumbnail. False, with a readable reason, when the file cannot be opened.
    static bool prepareMedia(LSMedia& media, QString* error, bool makeThumbnail = true);

    // The output name of a new item for `filePath`: the file name without
    // folder and extension, with "(n)" appended while an item of `list`
    // already has that name.
    static QString uniqueOutFileName(const QString& filePath, const std::vector<std::shared_ptr<LSMedia>>& list);
};
