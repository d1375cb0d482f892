#include "frame/library/AudioFormat.h"

#include "frame/library/GeneralTools.h"
#include "frame/library/LibraryDialogs.h"

#include <QStringList>

QString AudioFormat::typeName(qint32 formatType)
{
    switch (formatType) {
    case aftWAV: return QStringLiteral("WAV");
    case aftMP2: return QStringLiteral("MPEG Layer 2");
    case aftWMA: return QStringLiteral("Windows Media Audio");
    case aftOgg: return QStringLiteral("Ogg Vorbis");
    case aftMP3: return QStringLiteral("MPEG Layer 3");
    case aftFLAC: return QStringLiteral("FLAC");
    case aftAIFF: return QStringLiteral("AIFF");
    case aftOpus: return QStringLiteral("Opus");
    case aftAAC: return QStringLiteral("AAC");
    default: return QStringLiteral("Unknown");
    }
}

QString AudioFormat::rateText(qint32 sampleRate)
{
    return QString::number(sampleRate / 1000.0, 'g', 6) + QStringLiteral(" kHz");
}

QString AudioFormat::channelsText(qint32 channels)
{
    if (channels == 1)
        return QStringLiteral("Mono");
    if (channels == 2)
        return QStringLiteral("Stereo");
    return QStringLiteral("%1 channels").arg(channels);
}

QString AudioFormat::Description() const
{
    QString coding;
    switch (FormatType) {
    case aftWAV:
        if (FormatTag == 1)
            coding = QStringLiteral("PCM %1 bit").arg(BitsPerSample);
        else if (FormatTag == 17)
            coding = QStringLiteral("IMA ADPCM");
        else
            coding = QStringLiteral("WAV format tag %1").arg(FormatTag);
        break;
    case aftOgg: coding = QStringLiteral("Ogg Vorbis quality %1").arg(Quality); break;
    case aftMP2:
    case aftWMA:
    case aftMP3: coding = typeName(FormatType) + QStringLiteral(" %1 kbit/s").arg(BitRate); break;
    case aftFLAC:
    case aftAIFF:
    case aftOpus:
    case aftAAC: coding = typeName(FormatType); break;
    default: return typeName(FormatType);
    }
    return coding + QLatin1Char(' ') + rateText(SampleRate) + QLatin1Char(' ') + channelsText(Channels);
}

QString AudioFormat::SettingsText() const
{
    QString text;
    auto put = [&text](const char* name, const QString& value) {
        text = GeneralTools::SetParameter(text, QString::fromLatin1(name), value);
    };
    put("FormatType", QString::number(FormatType));
    put("SampleRate", QString::number(SampleRate));
    put("Channels", QString::number(Channels));
    put("BitRate", QString::number(BitRate));
    put("BitsPerSample", QString::number(BitsPerSample));
    put("FormatTag", QString::number(FormatTag));
    put("Quality", QString::number(Quality));
    if (!CodecData.isEmpty())
        put("CodecData", CodecData);
    return text;
}

bool AudioFormat::setSettingsText(const QString& text)
{
    AudioFormat parsed;
    for (const auto& [name, value] : GeneralTools::ParseParameters(text)) {
        if (name.compare(QLatin1String("CodecData"), Qt::CaseInsensitive) == 0) {
            parsed.CodecData = value;
            continue;
        }
        bool ok = false;
        const qint32 number = value.toInt(&ok);
        const QString key = name.toLower();
        qint32* member = key == QLatin1String("formattype") ? &parsed.FormatType
            : key == QLatin1String("samplerate")            ? &parsed.SampleRate
            : key == QLatin1String("channels")              ? &parsed.Channels
            : key == QLatin1String("bitrate")               ? &parsed.BitRate
            : key == QLatin1String("bitspersample")         ? &parsed.BitsPerSample
            : key == QLatin1String("formattag")             ? &parsed.FormatTag
            : key == QLatin1String("quality")               ? &parsed.Quality
                                                            : nullptr;
        if (!member)
            continue; // names of later versions are ignored, not refused
        if (!ok)
            return false;
        *member = number;
    }
    const QList<qint32> known{aftUnknown, aftWAV, aftMP2, aftWMA, aftOgg, aftMP3};
    if (!known.contains(parsed.FormatType) || parsed.SampleRate <= 0 || parsed.Channels <= 0)
        return false;
    *this = parsed;
    return true;
}

bool AudioFormat::ShowFormatDialog(qint32 allowedTypes, qint32, const QString& title)
{
    AudioFormat chosen = *this;
    if (!LibraryDialogs::current().chooseFormat(chosen, allowedTypes, title.isEmpty() ? QStringLiteral("Audio Format") : title))
        return false;
    *this = chosen;
    return true;
}

bool AudioFormat::storesAs(const AudioFormat& target) const
{
    return FormatType == target.FormatType && FormatTag == target.FormatTag && SampleRate == target.SampleRate &&
           Channels == target.Channels && (FormatTag != 1 || BitsPerSample == target.BitsPerSample);
}
