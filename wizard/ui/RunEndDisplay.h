#pragma once
#include <QString>

class ImportResultsPage;
class ImportTally;
class WizardFrame;

// What the window says once a run has ended: the words people know from
// the finish page, then how the items ended; the results log stays at hand
// to read and copy.
class RunEndDisplay
{
public:
    // A run that went through: the finish page, filled in.
    static void showFinished(WizardFrame& frame, bool files, const ImportTally& tally, const QString& results);
    // A run that failed stays on the Importing page: the tally ends its log.
    static void showFailed(ImportResultsPage& page, const ImportTally& tally);

private:
    static QString finishText(bool files);
};
