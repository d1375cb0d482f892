#pragma once

class CartAudioNames;
class CartDatabase;

// Finishes what killed or failed imports left in the audio location: new
// audio that no committed record names, old audio that a committed record
// replaced but nobody removed, and (once per store) the temporary files
// earlier versions converted into beside the carts' audio. Runs when the store is opened for
// writing; each file is decided while holding its cart, so a live import on
// another workstation is never touched.
class StoreLeftovers
{
public:
    static void clean(CartDatabase& database, const CartAudioNames& names);

private:
    static void cleanIncoming(CartDatabase& database, const CartAudioNames& names);
    static void cleanRetired(CartDatabase& database, const CartAudioNames& names);
    static void cleanOldTemporaries(CartDatabase& database, const CartAudioNames& names);
};
