#pragma once
#include <QString>
#include <functional>

class CartImport;
class PlayoutAudio;
class cCopyAudioFileNCT;
struct FileImportOptions;

// The levels of the audio an import stores: how the copy job normalises it,
// and the loudness the cart keeps. One set of rules for files and CD tracks.
namespace ImportLevels {
// Normalising as the options ask: to a peak percentage, or to a loudness
// under a true-peak ceiling.
void configure(cCopyAudioFileNCT& job, const FileImportOptions& options);
// After the audio is in the import's file and before the commit: the
// cart's loudness, from the copy job when it wrote the audio (it measured
// as it wrote, and the file's bext chunk then carries the values too), else
// from the loudness a WAV's own bext chunk states, else from one read of the
// audio as the store took it. A meter that cannot read
// the audio leaves the cart unmeasured rather than failing the import.
void measure(CartImport& import, const cCopyAudioFileNCT* wroteIt);
// "gain +3.2 dB" (", held by the true-peak ceiling") after a loudness
// normalised copy; empty otherwise.
QString gainText(const cCopyAudioFileNCT& job, const FileImportOptions& options);
// The loudness of the audio a cart holds now (what its bext chunk states,
// else measured), kept with the cart; its file is not touched. For carts
// imported before measuring began.
bool measureStoredCart(PlayoutAudio& audio, const QString& number, const std::function<void(int percent)>& progress,
                       QString* error);
} // namespace ImportLevels
