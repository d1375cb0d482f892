#include "wizard/ui/RunEndDisplay.h"

#include "platform/wizardframe/WizardFrame.h"
#include "wizard/ImportTally.h"
#include "wizard/ui/ImportResultsPage.h"

void RunEndDisplay::showFinished(WizardFrame& frame, bool files, const ImportTally& tally, const QString& results)
{
    frame.setFinishHeadline(QStringLiteral("Finished Importing"));
    const QString counts = tally.text();
    frame.setFinishText(counts.isEmpty() ? finishText(files) : finishText(files) + QStringLiteral("\r\n") + counts);
    frame.setFinishDetails(results);
}

void RunEndDisplay::showFailed(ImportResultsPage& page, const ImportTally& tally)
{
    if (const QString counts = tally.text(); !counts.isEmpty())
        page.appendResult(counts, true);
}

QString RunEndDisplay::finishText(bool files)
{
    const QString line1 = files ? QStringLiteral("Your files have now been imported into Orvane using the cart numbers given earlier.")
                                : QStringLiteral("Your tracks have now been ripped into Orvane using the cart numbers given earlier.");
    const QString line2 = files ? QStringLiteral("You should now check that they have imported correctly and the titles and "
                                                 "timing information is correct.")
                                : QStringLiteral("You should now check that they have ripped correctly and the titles and "
                                                 "timing information is correct.");
    const QString line3 = QStringLiteral("Remember that you will now need to add these to your Scheduling system if you "
                                         "want them to be automatically included in your scheduled Log.");
    const QString crlf = QStringLiteral("\r\n");
    return line1 + crlf + crlf + line2 + crlf + crlf + line3 + crlf;
}
