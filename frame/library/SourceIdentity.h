#pragma once
#include <QString>
#include <optional>

// Which file a path named, and in which state: device, inode, size and
// modification time (to the nanosecond). An import notes it before it reads a
// source and compares after: a file truncated, rewritten or replaced under
// the same name meanwhile is not the file that was read.
struct SourceIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;

    // None when the path cannot be examined.
    static std::optional<SourceIdentity> of(const QString& path);
    bool operator==(const SourceIdentity&) const = default;

    // What a person reads when the file changed.
    static QString changedText(const QString& path);
};
