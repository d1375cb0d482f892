#pragma once
#include <QWidget>

class QLineEdit;

// A folder path with a "Browse..." button beside it.
class FolderField : public QWidget
{
    Q_OBJECT
public:
    FolderField(const QString& browseTitle, QWidget* parent = nullptr);
    QString path() const;
    void setPath(const QString& path);
    QLineEdit* edit() const { return m_edit; }

private:
    QLineEdit* m_edit;
    QString m_title;
};
