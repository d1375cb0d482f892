#pragma once
#include "wizard/FileImportOptions.h"

#include <QString>

// The rules an import's options keep, for the wizard's pages and the batch
// tool alike. Each answers what a person reads when the options break it,
// or an empty text; neither front end repairs a conflict behind the
// person's back.
class ImportOptionRules
{
public:
    // Only a WAV file can be linked: the store plays a link as it is.
    static QString linkable(const FileImportOptions& options, const QString& path);
    // A linked cart plays the original file, which nothing may convert or
    // normalise.
    static QString linkingKeepsAudio(const FileImportOptions& options);
    // A ripped track has no format of its own to keep.
    static QString ripping(const FileImportOptions& options);
    // A level the copy job can normalise to.
    static QString level(const FileImportOptions& options);
    // The level a store's default offers. Below 1 % the store does not
    // normalise by default, and a level that low would make every cart near
    // silence; such a store offers 63 % instead.
    static double offeredLevel(double storeDefault);
};
