#pragma once
#include <QString>
#include <functional>

class AudioSettings;
class Directory;
class PlayoutAudio;

// The library objects a list, a summary or a run works with. The wizard
// fills it from the process-wide connections when it opens; the batch tool
// from the objects it opened itself; tests from a test store. None is owned.
struct ImportContext {
    PlayoutAudio* audio = nullptr;
    AudioSettings* settings = nullptr; // the store's default format
    Directory* directory = nullptr;    // the logged-in user's settings and audit log; may be null
    QString profileName;
    // Runs inside each item's commit, in the same transaction as its cart,
    // with the source as the user named it and the cart it went to (a drop
    // folder notes the file's outcome there, so a kill can never leave a
    // saved cart whose file is not marked taken). False rolls the item back.
    std::function<bool(const QString& source, const QString& cart)> alsoCommit;
};
