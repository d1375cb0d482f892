#include "wizard/ui/QtMessenger.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>

namespace {
QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok: return QMessageBox::Ok;
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// The first button is the default, as people here are used to: OK or Yes.
QMessageBox::StandardButton defaultButton(MessageButtons buttons)
{
    return buttons == MessageButtons::Ok || buttons == MessageButtons::OkCancel ? QMessageBox::Ok : QMessageBox::Yes;
}

// Escape, or closing the box, gives the question's safe answer.
QMessageBox::StandardButton escapeButton(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok: return QMessageBox::Ok;
    case MessageButtons::YesNo: return QMessageBox::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel: return QMessageBox::Cancel;
    }
    return QMessageBox::Cancel;
}

MessageAnswer answerFor(int button, MessageButtons buttons)
{
    switch (button) {
    case QMessageBox::Ok: return MessageAnswer::Ok;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: return SafeAnswer(buttons);
    }
}
} // namespace

MessageAnswer QtMessenger::show(const QString& text, MessageIcon icon, MessageButtons buttons)
{
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();

    QMessageBox box(boxIcon(icon), QGuiApplication::applicationDisplayName(), text, boxButtons(buttons), owner);
    // Our texts are plain and often quote names; never let them be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton(buttons));
    box.setEscapeButton(escapeButton(buttons));
    // Whatever the program was busy with, a person reading a message gets the
    // normal pointer; the busy one comes back when the message goes.
    QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    const int button = box.exec();
    QGuiApplication::restoreOverrideCursor();
    return answerFor(button, buttons);
}
