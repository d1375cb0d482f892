#pragma once
#include "frame/library/CartMetadata.h"
#include "wizard/ImportItem.h"

#include <QString>
#include <QStringList>

// Reads what the import needs to know of one file into a file-list row: the
// "f"+path key, the tag text (FileName, the WAV cart and bext chunk texts,
// the title, artist and album from the file's tags or the description file
// beside it), the fields FILENAME to EXTRO in their order, LENGTH (the exact
// length the copy job would produce; "..." for a transport zip) and INTROEND
// from the description file, and hidden: ISRC and META (the cart's metadata,
// CartMetadata, as JSON), each field from the description file, else the
// cart chunk, else the tags. The row comes back ticked. Nothing here shows
// anything or touches a list, so folders can be read on worker threads.
class FileRowReader
{
public:
    static ImportItem read(const QString& path);
    // The file a row of the file list stands for; empty for any other row
    // (a disc's track has no file until it is ripped).
    static QString sourcePath(const ImportItem& row);
    // Extensions of the audio files the import reads, in lower case: wav,
    // and the codings it always converts (mp2 mp3 ogg oga wma flac aif aiff
    // aifc opus m4a aac). The one list for the file list, the run, the
    // file dialog, the batch tool and drop folders.
    static const QStringList& audioExtensions();
    // An audio extension or zip (transport), in any letter case.
    static bool isAccepted(const QString& path);
    // Seconds of an intro time as description files write it by hand
    // ("0'12.5", "1:02:03", "12:34"); 0 for text that is no time.
    static double introSeconds(const QString& introText);
    // A row's META field: the cart metadata its file gives.
    static CartMetadata metadata(const ImportItem& row);
    static void setMetadata(ImportItem& row, const CartMetadata& metadata);
};
