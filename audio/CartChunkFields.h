#pragma once
#include "audio/CartChunk.h"
#include "frame/library/CartMetadata.h"

class CartRecord;
class PlayoutAudio;

// Where a cart's fields and the chunks of a broadcast WAV meet, both ways:
// what an imported file's cart chunk gives a cart, and the cart and bext
// chunks a cart's exported WAV gets.
class CartChunkFields
{
public:
    // The scheduler fields, air times, post timers, level reference, URL,
    // tag text and producer of a cart chunk (its title and artist go the
    // titles' way).
    static CartMetadata metadataOf(const CartChunk& cart, const QString& tagText);
    // Every field of the cart chunk for a cart; this system as its producer
    // when the cart names none.
    static CartChunk chunkOf(const CartRecord& cart);

    // Writes the cart's audio as a WAV with a cart chunk and a bext chunk
    // (title as description, artist as originator; the version-2 loudness,
    // UMID, time reference and coding history of the audio's own bext chunk
    // kept). The target is checked as PlayoutAudio::exportableCart does.
    static bool exportWave(PlayoutAudio& audio, const QString& number, const QString& path, bool overwrite, QString* error);
};
