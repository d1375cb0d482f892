#pragma once
#include <QPixmap>
#include <QString>
#include <QStringList>

// The pictures of the splash window's step icons, looked up by key. Each
// start-up step has an "off" picture (step pending) and an "on" picture (key
// with "on" appended, step done). They are painted when asked for, so they
// stay sharp at any screen scale and no picture files have to be shipped.
class SplashImageList
{
public:
    static constexpr int IconSize = 48; // device-independent pixels

    // Every key the list holds: "local", "localon", "playout", ...
    static QStringList keys();
    static bool contains(const QString& key);

    // The picture for `key` at `devicePixelRatio`; a null pixmap for a key
    // the list does not hold.
    static QPixmap picture(const QString& key, qreal devicePixelRatio = 1.0);
};
