#pragma once
#include <QList>
#include <QStringList>

// The store's schema, as numbered steps. A new store runs every step; an
// older store runs the steps it has not seen, in order, under the store's
// write lock. Steps are only ever added at the end: a released step never
// changes, because stores out there have already run it.
class StoreMigrations
{
public:
    struct Step {
        int version;
        QStringList sqlite;
        QStringList postgres;
        QStringList statements(bool postgresBackend) const { return postgresBackend ? postgres : sqlite; }
    };

    static const QList<Step>& steps();
    static int latestVersion() { return steps().last().version; }
};
