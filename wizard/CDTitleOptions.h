#pragma once
#include <QString>

// The CD page's disc-wide title choices, as one value: how each track's
// Title tag is split into title, artist and description, and the title or
// artist forced onto every track (a compilation, an album of one artist).
struct CDTitleOptions {
    enum Order { Normal = 0, Reversed = 1 };
    int order = Normal; // Normal: artist first, then title
    // Tried in order; "{space}" in any letter case stands for one blank.
    QString separators[2] = {QStringLiteral("-"), QStringLiteral("_")};
    bool forceTitle = false;
    QString title;
    bool forceArtist = false;
    QString artist;
};
