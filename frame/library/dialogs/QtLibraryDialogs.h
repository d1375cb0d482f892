#pragma once
#include "frame/library/LibraryDialogs.h"

class QWidget;

// The library's questions as Qt dialogs, for the programs that have a window.
class QtLibraryDialogs : public LibraryDialogs
{
public:
    explicit QtLibraryDialogs(QWidget* parent = nullptr)
        : m_parent(parent)
    {
    }
    void setParent(QWidget* parent) { m_parent = parent; }

    QString chooseProfile(const QStringList& profiles, const QString& suggested) override;
    bool editProfile(ProfileSettings& profile) override;
    bool editLocations(CartvaultStore& store) override;
    bool chooseFormat(AudioFormat& format, qint32 allowedTypes, const QString& title) override;
    QString browseForFolder(const QString& title, const QString& startFolder) override;
    void showProblem(const QString& text) override;

private:
    QWidget* m_parent;
};
