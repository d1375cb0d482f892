#pragma once
#include "wizard/FileImportHandler.h"

#include <QString>

// How a run's items ended, counted as the run reports them, for the few
// lines a person reads at the end instead of the whole results log.
class ImportTally
{
public:
    void setItemCount(int itemCount) { m_itemCount = itemCount; }
    void add(const QString& cart, FileImportHandler::Outcome outcome);

    // "Imported: n (carts first – last)", "Skipped: n" and "Failed: n", one
    // a line, and how many items a stop left untouched when it did; empty
    // when the run started no item.
    QString text() const;

private:
    int m_itemCount = 0;
    int m_imported = 0;
    int m_skipped = 0;
    int m_failed = 0;
    QString m_firstCart;
    QString m_lastCart;
};
