#include "frame/library/dialogs/ProfileSettingsDialog.h"

#include "frame/library/ProfileSettings.h"
#include "frame/library/dialogs/FolderField.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

ProfileSettingsDialog::ProfileSettingsDialog(ProfileSettings& profile, QWidget* parent)
    : QDialog(parent)
    , m_profile(profile)
    , m_dataLocation(new FolderField(tr("Data location"), this))
    , m_backend(new QComboBox(this))
    , m_host(new QLineEdit(this))
    , m_port(new QLineEdit(this))
    , m_database(new QLineEdit(this))
    , m_user(new QLineEdit(this))
{
    setObjectName(QStringLiteral("dlgProfileSettings"));
    setWindowTitle(tr("Orvane Settings - %1").arg(profile.name()));
    m_backend->addItem(tr("This workstation only (SQLite)"));
    m_backend->addItem(tr("Shared by several workstations (PostgreSQL)"));

    m_dataLocation->setPath(profile.DataLocation);
    m_backend->setCurrentIndex(profile.backend == ProfileSettings::Backend::PostgreSQL ? 1 : 0);
    m_host->setText(profile.pgHost);
    m_host->setPlaceholderText(tr("local socket"));
    m_port->setText(profile.pgPort);
    m_port->setPlaceholderText(tr("5432, or one per server: 5432,5433"));
    m_database->setText(profile.pgDatabase);
    m_user->setText(profile.pgUser);

    auto* form = new QFormLayout;
    form->addRow(tr("&Data location:"), m_dataLocation);
    form->addRow(tr("&Cartvault:"), m_backend);
    form->addRow(tr("&Server:"), m_host);
    form->addRow(tr("&Port:"), m_port);
    form->addRow(tr("Data&base:"), m_database);
    form->addRow(tr("&User:"), m_user);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ProfileSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(m_backend, &QComboBox::currentIndexChanged, this, &ProfileSettingsDialog::updateFields);
    updateFields();
}

void ProfileSettingsDialog::updateFields()
{
    const bool shared = m_backend->currentIndex() == 1;
    for (QWidget* field : {static_cast<QWidget*>(m_host), static_cast<QWidget*>(m_port), static_cast<QWidget*>(m_database),
                           static_cast<QWidget*>(m_user)})
        field->setEnabled(shared);
}

void ProfileSettingsDialog::accept()
{
    const QString location = m_dataLocation->path();
    const bool shared = m_backend->currentIndex() == 1;
    const QString host = m_host->text().trimmed();
    const QString port = m_port->text().trimmed().isEmpty() ? QStringLiteral("5432") : m_port->text().trimmed();
    if (!QDir::isAbsolutePath(location)
        || (shared && (m_database->text().trimmed().isEmpty() || !ProfileSettings::isValidPortList(port, host)))) {
        QMessageBox::warning(this, windowTitle(),
                             shared ? tr("Choose a data location, name the shared database and give one port, or one per server.")
                                    : tr("Choose a data location."));
        return;
    }
    m_profile.DataLocation = location;
    m_profile.backend = shared ? ProfileSettings::Backend::PostgreSQL : ProfileSettings::Backend::SQLite;
    m_profile.pgHost = host;
    m_profile.pgPort = port;
    m_profile.pgDatabase = m_database->text().trimmed();
    m_profile.pgUser = m_user->text().trimmed();
    QDialog::accept();
}
