#pragma once
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

class QBoxLayout;
class WizardHeader;

// One page of a WizardFrame: the welcome page, a numbered page or the finish
// page. The frame owns its pages; callers keep only pointers, which stay
// valid until the page is cleared or the frame is destroyed.
class WizardPage
{
public:
    enum Kind { Welcome, Numbered, Finish };

    // `host` is the frame's widget for the page; numbered pages also have
    // their own header band and the layout that takes the caller's container.
    WizardPage(Kind kind, int pageNumber, QWidget* host, WizardHeader* header = nullptr,
               QBoxLayout* contentLayout = nullptr);

    Kind kind() const { return m_kind; }
    // 1 upwards for the numbered pages, 0 for the welcome page, 99 for the finish page.
    int PageNumber() const { return m_pageNumber; }

    QString title() const { return m_title; }
    QString description() const { return m_description; }
    QString helpText() const { return m_helpText; }
    QPixmap picture() const { return m_picture; }
    void setHeader(const QString& title, const QString& description, const QString& helpText,
                   const QPixmap& picture);

    // The caller's container shown by a numbered page, nullptr when none is attached.
    QWidget* container() const { return m_container; }
    // The parent the container had before it was attached.
    QWidget* containerOwner() const { return m_containerOwner; }
    // Puts `container` on the page and remembers where it came from; a
    // container attached before is given back first.
    void attach(QWidget* container);
    // Gives the container back to the parent it had before it was attached.
    void release();

    // The frame's own widget that holds the page in its stack.
    QWidget* host() const { return m_host; }

private:
    Kind m_kind;
    int m_pageNumber;
    QWidget* m_host;
    WizardHeader* m_header;
    QBoxLayout* m_contentLayout;
    QPointer<QWidget> m_container;
    QPointer<QWidget> m_containerOwner;
    QString m_title;
    QString m_description;
    QString m_helpText;
    QPixmap m_picture;
};
