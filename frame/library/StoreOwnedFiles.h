#pragma once
#include <QString>
#include <QStringList>
#include <memory>

class CartDatabase;
class CartvaultStore;

// The files no tool may write over or delete on a person's behalf: the
// store's database, everything in its audio locations, and every file a cart
// plays. Links are resolved on both sides, so no path that leads to one of
// them by another way gets past.
class StoreOwnedFiles
{
public:
    explicit StoreOwnedFiles(const CartvaultStore& store);

    // True when the store owns or plays `path`; `why` then continues a
    // sentence about it ("is played by cart 310"). A store that cannot be
    // read owns everything: in doubt, a file is kept.
    bool owns(const QString& path, QString* why = nullptr) const;

private:
    QString databaseClaim(const QString& literal, const QString& resolved) const;
    QString cartClaim(const QString& literal, const QString& resolved) const;
    QString locationClaim(const QString& literal, const QString& resolved) const;

    std::shared_ptr<CartDatabase> m_database;
    QStringList m_locations;
};
