#include "frame/library/dialogs/QtLibraryDialogs.h"

#include "frame/library/dialogs/FormatChoiceDialog.h"
#include "frame/library/dialogs/LocationsDialog.h"
#include "frame/library/dialogs/ProfileSettingsDialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

QString QtLibraryDialogs::chooseProfile(const QStringList& profiles, const QString& suggested)
{
    bool ok = false;
    const QString chosen = QInputDialog::getItem(m_parent, QCoreApplication::applicationName(),
                                                 QObject::tr("Choose the profile to work with:"), profiles,
                                                 std::max<int>(0, profiles.indexOf(suggested)), false, &ok);
    return ok ? chosen : QString();
}

bool QtLibraryDialogs::editProfile(ProfileSettings& profile)
{
    ProfileSettingsDialog dialog(profile, m_parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtLibraryDialogs::editLocations(CartvaultStore& store)
{
    LocationsDialog dialog(store, m_parent);
    return dialog.exec() == QDialog::Accepted;
}

bool QtLibraryDialogs::chooseFormat(AudioFormat& format, qint32 allowedTypes, const QString& title)
{
    FormatChoiceDialog dialog(m_parent, allowedTypes);
    dialog.setWindowTitle(title);
    dialog.setFormat(format);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    format = dialog.format();
    return true;
}

QString QtLibraryDialogs::browseForFolder(const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(m_parent, title, startFolder);
}

void QtLibraryDialogs::showProblem(const QString& text)
{
    QMessageBox::critical(m_parent, QCoreApplication::applicationName(), text);
}
