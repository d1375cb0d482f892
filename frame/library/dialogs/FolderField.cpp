#include "frame/library/dialogs/FolderField.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

FolderField::FolderField(const QString& browseTitle, QWidget* parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_title(browseTitle)
{
    auto* browse = new QPushButton(tr("Browse..."), this);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit, 1);
    layout->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, m_title, m_edit->text());
        if (!chosen.isEmpty())
            m_edit->setText(QDir::toNativeSeparators(chosen));
    });
}

QString FolderField::path() const { return QDir::cleanPath(m_edit->text().trimmed()); }
void FolderField::setPath(const QString& path) { m_edit->setText(path); }
