#pragma once
#include "platform/accuraterip/AccurateRipVerdict.h"

#include <QString>

class cCopyAudioFileNCT;

// What a file import run tells whoever shows it, and the one thing it asks:
// whether to stop. The wizard's window is one handler, the batch tool
// another, tests a recording one. Messages and questions go through the
// program's Messenger as everywhere else.
class FileImportHandler
{
public:
    virtual ~FileImportHandler() = default;

    // The status line: what is being done to which file.
    virtual void status(const QString& text) = 0;
    // The results log; a line is built from an announcement without an end
    // of line, then "OK" or "Failed!" with one.
    virtual void result(const QString& text, bool endOfLine) = 0;
    // Item `currentItem` (1-based) of `itemCount` starts; the copy job's
    // events are shown as a share of the whole run from these.
    virtual void itemStarted(int currentItem, int itemCount) = 0;
    // The item's own bar and the whole run's bar, 0..100.
    virtual void progress(int current, int overall) = 0;
    // The copy job of the run, whose events move the bars while an item is
    // converted (null when the run needs none); it lives until the run ends.
    virtual void copyJob(cCopyAudioFileNCT* job) = 0;

    // How one item ended, for those who keep a record of each.
    enum class Outcome { Imported, SkippedInUse, SkippedType, Failed };
    virtual void itemDone(const QString& key, const QString& cart, Outcome outcome, const QString& error) = 0;

    // What the AccurateRip database said of a ripped CD track, before its
    // itemDone; only in runs that verify.
    virtual void trackVerified(const QString& /*key*/, const AccurateRipVerdict& /*verdict*/) {}

    // Looked at between items; true ends the run before the next one. A
    // handler with a window lets its pending events run here.
    virtual bool stopRequested() = 0;
};
