#include "frame/library/dialogs/LocationsDialog.h"

#include "frame/library/CartvaultStore.h"
#include "frame/library/dialogs/FolderField.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

LocationsDialog::LocationsDialog(CartvaultStore& store, QWidget* parent)
    : QDialog(parent)
    , m_store(store)
    , m_primary(new FolderField(tr("Primary audio location"), this))
{
    setObjectName(QStringLiteral("dlgCartvaultLocations"));
    setWindowTitle(tr("Cartvault Locations"));
    m_primary->setPath(store.Location(1));
    auto* note = new QLabel(tr("Every workstation that shares this Cartvault must reach this folder by the same path."), this);
    note->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(tr("&Primary audio location:"), m_primary);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &LocationsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

void LocationsDialog::accept()
{
    const QString folder = m_primary->path();
    if (!QDir::isAbsolutePath(folder) || !QDir().mkpath(folder)) {
        QMessageBox::warning(this, windowTitle(), tr("The folder %1 cannot be used.").arg(folder));
        return;
    }
    m_store.setLocation(1, folder);
    QDialog::accept();
}
