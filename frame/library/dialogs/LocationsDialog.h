#pragma once
#include <QDialog>

class CartvaultStore;
class FolderField;

// The Cartvault's primary audio location, where the carts' audio files live.
class LocationsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LocationsDialog(CartvaultStore& store, QWidget* parent = nullptr);
    void accept() override;

private:
    CartvaultStore& m_store;
    FolderField* m_primary;
};
