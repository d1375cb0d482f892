#pragma once
#include "frame/library/CartAudioNames.h"

#include <QHash>

// Free carts this process has planned to fill. Importers that start at the
// same cart at the same moment (twenty studios, four drop-folder watchers)
// would otherwise all plan the same free carts, copy the same number of files
// into them and find at the commit that only one of each could win: the
// rest of the work is thrown away, pass after pass. A reservation is a
// locked file in the audio location's .incoming folder, so every process
// and every workstation sharing the location sees it, and it ends with the
// process whatever way that ends (the store's next opening removes the
// file). It only steers planning: the commit's revision check still decides.
class CartReservations
{
public:
    explicit CartReservations(const CartAudioNames& names);
    ~CartReservations();
    CartReservations(const CartReservations&) = delete;
    CartReservations& operator=(const CartReservations&) = delete;

    // True when the cart is this object's now: reserved before, or free of
    // any other reservation. In doubt (a folder that cannot be written) true:
    // planning then works as if nobody reserved anything.
    bool reserve(qint64 number);
    void release(qint64 number);

private:
    QString fileOf(qint64 number) const;

    CartAudioNames m_names;
    QHash<qint64, int> m_held; // cart -> locked descriptor
};
