#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

// Path and file helpers. Paths are this platform's ('/'-separated); a
// back-slash is accepted as a separator too, so names typed on a station PC
// still split correctly.
class FileTools
{
public:
    static bool FileExists(const QString& path);
    // Size in bytes; below 0 when there is no such file.
    static double GetFileLength(const QString& path);
    // Extension without the dot ("mp3"), as written.
    static QString GetExtension(const QString& path);
    // Name with extension, without the folder.
    static QString GetFileName(const QString& path);
    // Folder of the path. withSeparator = 1 keeps the trailing '/'.
    static QString GetFolder(const QString& path, int withSeparator = 0);
    // Name without folder and extension.
    static QString GetBaseName(const QString& path);
    static QString GetPathWithoutExtension(const QString& path);

    // Creates a folder and the folders above it that are missing; false with
    // the folder that could not be made and the system's reason in `why`.
    static bool makeFolder(const QString& path, QString* why);
    // Creates a file that did not exist, named `stem` plus a random tail,
    // with the permissions the umask gives every new file. The open
    // descriptor (the caller closes it), or -1 with the reason in `why`.
    static int createNewFile(const QString& stem, QString* path, QString* why);
    // Gives a finished temporary file its name: replacing a file there only
    // when overwrite is true (link() refuses an existing name, so a file
    // that appeared meanwhile is kept too). False with the reason in `why`.
    static bool placeFile(const QString& temporary, const QString& target, bool overwrite, QString* why);
    // The absolute path with every link resolved: of the file, or for a file
    // not there yet, of its folder; the clean absolute path when neither is
    // there. Two paths lead to the same file when these agree.
    static QString resolvedPath(const QString& path);
    // The files in `folder` whose names are not UTF-8 text, as the bytes the
    // system holds. Such a name has no QString of its own: QDir hands it back
    // mangled, and a path made of that names no file, so listings through
    // QDir pass over these files without a word.
    static QList<QByteArray> undecodableNames(const QString& folder);
    // A name for people and logs: every byte outside printable ASCII as \xNN.
    static QString printableName(const QByteArray& name);
    // The system's text for errno, for messages that must name the real cause.
    static QString systemError(int error);
};
