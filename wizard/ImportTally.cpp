#include "wizard/ImportTally.h"

void ImportTally::add(const QString& cart, FileImportHandler::Outcome outcome)
{
    switch (outcome) {
    case FileImportHandler::Outcome::Imported:
        if (m_imported++ == 0)
            m_firstCart = cart;
        m_lastCart = cart;
        break;
    case FileImportHandler::Outcome::SkippedInUse:
    case FileImportHandler::Outcome::SkippedType:
        ++m_skipped;
        break;
    case FileImportHandler::Outcome::Failed:
        ++m_failed;
        break;
    }
}

QString ImportTally::text() const
{
    if (m_itemCount == 0)
        return {}; // the run ended before its first item
    QString imported = QStringLiteral("Imported: %1").arg(m_imported);
    if (m_imported == 1)
        imported += QStringLiteral(" (cart %1)").arg(m_firstCart);
    else if (m_imported > 1)
        imported += QStringLiteral(" (carts %1 \u2013 %2)").arg(m_firstCart, m_lastCart);
    QString text = imported + QStringLiteral("\nSkipped: %1\nFailed: %2").arg(m_skipped).arg(m_failed);
    if (const int untouched = m_itemCount - m_imported - m_skipped - m_failed; untouched > 0)
        text += QStringLiteral("\nNot started: %1").arg(untouched);
    return text;
}
