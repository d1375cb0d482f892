#include "platform/freedb/DiscRecord.h"

#include <algorithm>

QStringList FreeDBDisc::trackNames(const QList<QPair<QString, QString>>& artistsAndTitles)
{
    QString separator = QStringLiteral("/");
    for (const QString candidate : {QStringLiteral("/"), QStringLiteral("\\"), QStringLiteral("_")}) {
        const bool free = std::none_of(artistsAndTitles.cbegin(), artistsAndTitles.cend(), [&candidate](const auto& pair) {
            return pair.first.contains(candidate) || pair.second.contains(candidate);
        });
        if (free) {
            separator = candidate;
            break;
        }
    }
    QStringList names;
    for (const auto& [artist, title] : artistsAndTitles)
        names << trackName(artist, title, separator);
    return names;
}
