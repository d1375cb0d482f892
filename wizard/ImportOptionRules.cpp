#include "wizard/ImportOptionRules.h"

#include "frame/library/FileTools.h"

QString ImportOptionRules::linkable(const FileImportOptions& options, const QString& path)
{
    if (options.link && FileTools::GetExtension(path).toUpper() != QLatin1String("WAV"))
        return QStringLiteral("You can only 'Link' carts to WAV Files, not other audio formats");
    return {};
}

QString ImportOptionRules::linkingKeepsAudio(const FileImportOptions& options)
{
    if (!options.link)
        return {};
    if (options.format != FileImportOptions::Format::Leave)
        return QStringLiteral("You cannot convert the Audio if you are linking to the original file");
    if (options.normalise)
        return QStringLiteral("You cannot normalise the Audio if you are linking to the original file");
    return {};
}

QString ImportOptionRules::ripping(const FileImportOptions& options)
{
    if (options.format == FileImportOptions::Format::Leave)
        return QStringLiteral("You cannot 'Import the audio in it's current format' when ripping from cd");
    return {};
}

QString ImportOptionRules::level(const FileImportOptions& options)
{
    if (options.normalise && !(options.normalisePercent >= 1 && options.normalisePercent <= 100))
        return QStringLiteral("The level to normalise to must be from 1 to 100 %");
    return {};
}

double ImportOptionRules::offeredLevel(double storeDefault) { return storeDefault < 1 ? 63 : storeDefault; }
