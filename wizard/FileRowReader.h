#pragma once
#include "wizard/ImportItem.h"

#include <QString>

// Reads what the import needs to know of one file into a file-list row: the
// "f"+path key, the tag text (FileName, the WAV cart and bext chunk texts,
// the title, artist and album from the file's tags or the description file
// beside it), the fields FILENAME to EXTRO in their order, LENGTH (the exact
// length the copy job would produce; "..." for a transport zip) and INTROEND
// from the description file. The row comes back ticked. Nothing here shows
// anything or touches a list, so folders can be read on worker threads.
class FileRowReader
{
public:
    static ImportItem read(const QString& path);
    // Extensions the import reads: wav mp2 mp3 ogg wma (audio) and zip
    // (transport), in any letter case.
    static bool isAccepted(const QString& path);
    // Seconds of an intro time as description files write it by hand
    // ("0'12.5", "1:02:03", "12:34"); 0 for text that is no time.
    static double introSeconds(const QString& introText);
};
