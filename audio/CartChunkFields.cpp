#include "audio/CartChunkFields.h"

#include "audio/BextChunk.h"
#include "audio/BroadcastWaveWriter.h"
#include "frame/ProgramVersion.h"
#include "frame/library/CartRecord.h"
#include "frame/library/PlayoutAudio.h"

namespace {
const QString kDate = QStringLiteral("yyyy/MM/dd");
const QString kTime = QStringLiteral("HH:mm:ss");

QDateTime airTime(const QString& date, const QString& time, bool endOfDay)
{
    const QString text = time.trimmed().isEmpty() ? date.trimmed() : date.trimmed() + QLatin1Char(' ') + time.trimmed();
    return CartMetadata::airTimeFrom(text, endOfDay).value_or(QDateTime());
}

QString usageText(const QString& usage)
{
    const qsizetype nul = usage.indexOf(QChar(0));
    return nul >= 0 ? usage.left(nul) : usage;
}
} // namespace

CartMetadata CartChunkFields::metadataOf(const CartChunk& cart, const QString& tagText)
{
    CartMetadata metadata;
    metadata.startAir = airTime(cart.StartDate, cart.StartTime, false);
    metadata.endAir = airTime(cart.EndDate, cart.EndTime, true);
    metadata.category = cart.Category.trimmed();
    metadata.classification = cart.Classification.trimmed();
    metadata.clientId = cart.ClientID.trimmed();
    metadata.cutId = cart.CutID.trimmed();
    metadata.outCue = cart.OutCue.trimmed();
    metadata.userDef = cart.UserDef.trimmed();
    for (int i = 0; i < CartChunk::PostTimerCount; ++i) {
        const QString usage = usageText(cart.PostTimer[i].Usage);
        // Blanks in a usage code are part of it ("INT "); a code of blanks alone is none.
        metadata.postTimers[i] = {usage.trimmed().isEmpty() ? QString() : usage, cart.PostTimer[i].Value};
    }
    metadata.levelReference = cart.LevelReference;
    metadata.url = cart.URL.trimmed();
    metadata.tagText = tagText;
    metadata.producerAppId = cart.ProducerAppID.trimmed();
    metadata.producerAppVersion = cart.ProducerAppVersion.trimmed();
    return metadata;
}

CartChunk CartChunkFields::chunkOf(const CartRecord& cart)
{
    const CartMetadata& metadata = cart.Metadata;
    CartChunk chunk;
    chunk.Version = QStringLiteral("0101");
    chunk.Title = cart.Title;
    chunk.Artist = cart.Artist(1);
    chunk.CutID = metadata.cutId;
    chunk.ClientID = metadata.clientId;
    chunk.Category = metadata.category;
    chunk.Classification = metadata.classification;
    chunk.OutCue = metadata.outCue;
    chunk.StartDate = metadata.startAir.isValid() ? metadata.startAir.toString(kDate) : QString();
    chunk.StartTime = metadata.startAir.isValid() ? metadata.startAir.toString(kTime) : QString();
    chunk.EndDate = metadata.endAir.isValid() ? metadata.endAir.toString(kDate) : QString();
    chunk.EndTime = metadata.endAir.isValid() ? metadata.endAir.toString(kTime) : QString();
    const bool producerKnown = !metadata.producerAppId.isEmpty();
    chunk.ProducerAppID = producerKnown ? metadata.producerAppId : QStringLiteral("Orvane");
    chunk.ProducerAppVersion = producerKnown ? metadata.producerAppVersion : ProgramVersion::number();
    chunk.UserDef = metadata.userDef;
    chunk.LevelReference = metadata.levelReference;
    for (int i = 0; i < CartChunk::PostTimerCount; ++i)
        chunk.PostTimer[i] = {metadata.postTimers[i].usage, metadata.postTimers[i].value};
    chunk.URL = metadata.url;
    return chunk;
}

bool CartChunkFields::exportWave(PlayoutAudio& audio, const QString& number, const QString& path, bool overwrite, QString* error)
{
    QString target;
    const auto cart = audio.exportableCart(number, path, overwrite, &target, error);
    if (!cart)
        return false;
    BextChunk bext;
    QString codingHistory;
    ReadBextChunk(cart->AudioFile, bext, codingHistory);
    bext.Description = cart->Title;
    bext.Originator = cart->Artist(1);
    if (cart->Loudness) // measured by the store, whatever the file says
        bext.Loudness = *cart->Loudness;
    const QList<BroadcastWaveWriter::Chunk> chunks{
        {"bext", BextChunkBytes(bext, codingHistory)},
        {"cart", CartChunkBytes(chunkOf(*cart), cart->Metadata.tagText)},
    };
    return BroadcastWaveWriter::write(cart->AudioFile, target, chunks, overwrite, error);
}
