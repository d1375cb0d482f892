#pragma once
#include <QDialog>

class FolderField;
class ProfileSettings;
class QComboBox;
class QLineEdit;

// Where this workstation keeps its data and which Cartvault database it uses.
class ProfileSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ProfileSettingsDialog(ProfileSettings& profile, QWidget* parent = nullptr);
    void accept() override;

private:
    void updateFields();

    ProfileSettings& m_profile;
    FolderField* m_dataLocation;
    QComboBox* m_backend;
    QLineEdit* m_host;
    QLineEdit* m_port;
    QLineEdit* m_database;
    QLineEdit* m_user;
};
