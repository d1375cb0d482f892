#pragma once
// Private to platform/nct: title, artist and album tags through TagLib, with
// the tag format chosen from the file's content, not from its name.

#include "platform/nct/NCTMediaInput.h"

#include <QMap>
#include <QString>

namespace nct {

struct TagText {
    QString title;
    QString artist;
    QString album;
    // Every tag under the tag library's common names (ISRC, COMPOSER,
    // LABEL, DATE ...), the first value of each.
    QMap<QString, QString> properties;
};

// The tags of the import's source kinds; none for AIFF, whose tag library
// walks every chunk of the file (see hasFewChunks for WAV).
TagText readTags(const QString& path, Container container, AVCodecID codec);
// Writes the three tags in the tag format that suits the container.
bool writeTags(const QString& path, Container container, const TagText& tags);

} // namespace nct
