#pragma once
#include <QString>

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
};
