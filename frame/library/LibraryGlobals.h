#pragma once
#include <QString>
#include <memory>

class AudioSettings;
class Directory;
class OrvaneLibrary;
class PlayoutAudio;
class PlayoutGeneral;
class PlayoutLogging;

// The process-wide connections to the library: made by the start-up of a
// tool, released by its shut-down, and used by every part of the tool in
// between. A null pointer means the object does not exist (yet).
extern std::unique_ptr<OrvaneLibrary> gLibrary;
extern std::unique_ptr<Directory> gDirectory;
extern std::unique_ptr<AudioSettings> gAudioSettings;
extern std::shared_ptr<PlayoutGeneral> gPlayoutGeneral;
extern std::shared_ptr<PlayoutAudio> gPlayoutAudio;
extern std::shared_ptr<PlayoutLogging> gPlayoutLogging;
extern QString gProfileName;
extern bool gSilent;      // started with /SILENT
extern bool gDebugSwitch; // started with /DEBUG
