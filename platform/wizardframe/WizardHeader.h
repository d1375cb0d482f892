#pragma once
#include <QWidget>

class QLabel;

// The band across the top of a numbered page: the page's title in bold, its
// description below, and an optional picture at the right.
class WizardHeader : public QWidget
{
    Q_OBJECT
public:
    explicit WizardHeader(QWidget* parent = nullptr);

    void setPage(const QString& title, const QString& description, const QString& helpText,
                 const QPixmap& picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_title;
    QLabel* m_description;
    QLabel* m_picture;
};
