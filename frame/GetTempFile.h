#pragma once
#include <QByteArray>
#include <QString>

// A new, unused file name in `folder` (the temporary folder when empty) with
// the given extension. For the extension "TMP" the file exists (empty) on
// return; for any other extension the name is free and nothing is left behind.
// Empty on failure.
QString GetTempFile(const QString& folder, const QString& extension);

// Fills `bytes` with the character codes of `text`, then zeros.
void TextToBytes(QByteArray& bytes, const QString& text);
