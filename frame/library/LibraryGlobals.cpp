#include "frame/library/LibraryGlobals.h"

#include "frame/library/AudioSettings.h"
#include "frame/library/Directory.h"
#include "frame/library/OrvaneLibrary.h"
#include "frame/library/PlayoutAudio.h"
#include "frame/library/PlayoutSystem.h"

std::unique_ptr<OrvaneLibrary> gLibrary;
std::unique_ptr<Directory> gDirectory;
std::unique_ptr<AudioSettings> gAudioSettings;
std::shared_ptr<PlayoutGeneral> gPlayoutGeneral;
std::shared_ptr<PlayoutAudio> gPlayoutAudio;
std::shared_ptr<PlayoutLogging> gPlayoutLogging;
QString gProfileName;
bool gSilent = false;
bool gDebugSwitch = false;
