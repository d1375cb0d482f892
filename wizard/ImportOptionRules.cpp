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
    if (!options.normalise)
        return {};
    if (options.normaliseLoudness) {
        if (!(options.loudnessTarget >= -70 && options.loudnessTarget <= 0))
            return QStringLiteral("The loudness to normalise to must be from -70 to 0 LUFS");
        if (!(options.truePeakCeiling >= -20 && options.truePeakCeiling <= 0))
            return QStringLiteral("The true-peak ceiling must be from -20 to 0 dBTP");
        return {};
    }
    if (!(options.normalisePercent >= 1 && options.normalisePercent <= 100))
        return QStringLiteral("The level to normalise to must be from 1 to 100 %");
    return {};
}

double ImportOptionRules::offeredLevel(double storeDefault) { return storeDefault < 1 ? 63 : storeDefault; }
