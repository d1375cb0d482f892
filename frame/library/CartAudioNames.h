#pragma once
#include <QString>
#include <optional>

// Where the store keeps carts' audio in its primary location. Each import
// writes a file of its own, named after the cart and the audio revision it
// becomes (000300.r7.wav in folder 000), so new audio never overwrites the
// audio a committed record still names. Audio on its way in waits in the
// hidden .incoming folder under the name of the file it will become plus a
// random tail.
class CartAudioNames
{
public:
    explicit CartAudioNames(QString location);

    QString location() const { return m_location; }
    // The cart's folder: a thousand carts per folder keeps folders small in a
    // million-cart store.
    QString folder(qint64 number) const;
    // The name the store used before files carried their revision; kept for
    // carts imported then, and as the folder hint for empty carts.
    QString plainFile(qint64 number) const;
    QString revisionFile(qint64 number, qint64 revision) const;
    QString incomingFolder() const;

    // What an incoming file's name says: the file it was to become and its cart.
    struct Destination {
        QString file;
        qint64 number = 0;
    };
    std::optional<Destination> destinationOf(const QString& incomingName) const;
    // True for a path inside the location (which the store alone manages).
    bool contains(const QString& path) const;

private:
    QString m_location;
};
