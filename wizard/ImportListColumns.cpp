#include "wizard/ImportListColumns.h"

namespace {
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignVCenter;

// Title, Artist, Desc and Length end every list alike.
QList<ImportItemColumn> withSharedColumns(QList<ImportItemColumn> columns)
{
    columns << ImportItemColumn{QStringLiteral("Title"), QStringLiteral("TITLE"), -1, kLeft, false}
            << ImportItemColumn{QStringLiteral("Artist"), QStringLiteral("ARTIST"), -1, kLeft, false}
            << ImportItemColumn{QStringLiteral("Desc"), QStringLiteral("DESC"), 0, kLeft, true}
            << ImportItemColumn{QStringLiteral("Length"), QStringLiteral("LENGTH"), 900, kRight, false};
    return columns;
}
} // namespace

QList<ImportItemColumn> ImportListColumns::files()
{
    return withSharedColumns({{QString(), QStringLiteral("RAW"), 285, kLeft, false},
                              // File names run long: the name shares the room with Title and Artist.
                              {QStringLiteral("FileName"), QStringLiteral("FILENAME"), -1, kLeft, false}});
}

QList<ImportItemColumn> ImportListColumns::cdTracks()
{
    return withSharedColumns({{QString(), QStringLiteral("RAW"), 285, kLeft, false},
                              {QStringLiteral("#"), QStringLiteral("TRACK"), 450, kCentre, false}});
}

QList<ImportItemColumn> ImportListColumns::summary()
{
    // Adverts and promos end: the person sees when before the import.
    return withSharedColumns({{QStringLiteral("Source"), QStringLiteral("SOURCE"), 1000, kLeft, false},
                              {QStringLiteral("Dest."), QStringLiteral("DEST"), 800, kLeft, false}})
        << ImportItemColumn{QStringLiteral("Ends"), QStringLiteral("ENDS"), 1500, kLeft, false};
}
