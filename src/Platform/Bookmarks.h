#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// Persistable tokens for files and folders the user trusted. A bookmark holds
// the item's absolute path and the identity (device and inode) it had when
// the bookmark was made, so that a later run can tell whether the path still
// names the same item.
//
// Stored form (all integers big-endian):
//   "TRBK"  magic, 4 bytes
//   u8      format version (1)
//   u64     device
//   u64     inode
//   u32     length of the path in bytes
//   bytes   the path in the file system's encoding, absolute, no NUL
// Nothing may follow the path. Anything else decodes to nothing.
class Bookmarks {
public:
    struct Record {
        QString path;
        uint64_t device = 0;
        uint64_t inode = 0;
    };

    struct Resolved {
        QString path;
        // The path exists but names another item than the bookmarked one
        // (it was replaced since).
        bool stale = false;
    };

    // Bookmark data of the item at `path` (made absolute first); empty when
    // nothing exists there.
    static QByteArray bookmarkDataForPath(const QString& path);

    // The item a bookmark points to; nothing when the data is not a bookmark
    // or when nothing exists at its path any more.
    static std::optional<Resolved> resolve(const QByteArray& data);

    // The raw contents of bookmark data; nothing for anything that is not a
    // well-formed bookmark. Safe on arbitrary bytes.
    static std::optional<Record> decode(const QByteArray& data);
    // The stored form of a record; empty when the path is not absolute or
    // holds a NUL.
    static QByteArray encode(const Record& record);
};
