#pragma once
#include <QDateTime>
#include <QString>

// Every choice the file path of the wizard offers, as one value: the dialog
// reads its fields into it, the batch tool its command line, tests set it
// directly. The titling, the summary and the run read nothing else.
struct FileImportOptions {
    // Titling: 0 the file's name as it is, 1 embedded information, 2 name
    // split as title-artist-description, 3 as artist-title-description.
    int titlingMode = 1;
    // Tried in order; "{space}" in any letter case stands for one blank.
    QString separators[2] = {QStringLiteral("-"), QStringLiteral("_")};

    // Cart allocation: in sequence from startCart, or from the number in
    // each file's name.
    bool sequential = true;
    QString startCart;
    bool overwrite = false; // a cart that holds audio may be given new audio

    bool link = false;         // link WAV files where they are instead of copying them
    bool deleteSource = false; // delete each source once its cart is saved

    enum class Format { StoreDefault, Convert, Leave };
    Format format = Format::StoreDefault;
    QString convertFormat; // settings text of the target for Format::Convert
    bool normalise = false;
    double normalisePercent = 0;
    // Normalising to a loudness (LUFS) instead of the percentage: one fixed
    // gain, held down so the true peak stays under the ceiling (dBTP).
    bool normaliseLoudness = false;
    double loudnessTarget = -23;
    double truePeakCeiling = -1;

    // The wizard stops at the first failed item and leaves the rest for the
    // person to look at; a script wants every good file in, the failures
    // told at the end.
    bool continuePastFailure = false;

    // Given for every item, over what its file says: a run of adverts
    // scheduled for one campaign. Unset (invalid, empty): the file's own.
    QDateTime startAir;
    QDateTime endAir;
    QString category;
};
