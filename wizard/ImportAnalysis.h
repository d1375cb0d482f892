#pragma once
#include "platform/fingerprint/AudioFingerprinter.h"

#include <QString>
#include <functional>

class CartImport;
class PlayoutAudio;
class cCopyAudioFileNCT;
struct FileImportOptions;

// What an import learns about the audio it stores, in the pass that writes
// it: how the copy job normalises it, the loudness the cart keeps and the
// fingerprint duplicate searches compare. One set of rules for files and CD
// tracks; a run keeps one for all its items.
class ImportAnalysis
{
public:
    // Normalising as the options ask (to a peak percentage, or to a loudness
    // under a true-peak ceiling); the fingerprint rides along in the copy.
    void configure(cCopyAudioFileNCT& job, const FileImportOptions& options);
    // After the audio is in the import's file and before the commit. The
    // loudness: from the copy job when it wrote the audio (it measured as it
    // wrote; the file's bext chunk then carries the values too), else what a
    // packed cart or a WAV's own bext chunk states, else measured. The
    // fingerprint: from the copy, else from the same one read. What cannot
    // be read leaves the cart unmeasured rather than failing the import.
    void analyse(CartImport& import, const cCopyAudioFileNCT* wroteIt);

    // "gain +3.2 dB" (", held by the true-peak ceiling") after a loudness
    // normalised copy; empty otherwise.
    static QString gainText(const cCopyAudioFileNCT& job, const FileImportOptions& options);
    // What a cart holding audio lacks, in one read of that audio: its
    // loudness (what its bext chunk states, else measured), when asked for,
    // and its fingerprint, when it has none. Each is kept only while the
    // cart still holds that audio; its file is not touched. For carts
    // imported before analysing began, or by a path that only stores a file.
    struct Wanted {
        bool loudness = true;
        bool fingerprint = true;
    };
    static bool analyseStoredCart(PlayoutAudio& audio, const QString& number, Wanted wanted,
                                  const std::function<void(int percent)>& progress, QString* error);

private:
    AudioFingerprinter m_fingerprinter;
};
