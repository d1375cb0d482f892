#pragma once
#include <QString>
#include <QStringList>
#include <QList>

// The one way anything in the program shows a message or asks a question.
// The wizard installs a Qt implementation, the batch importer and the command
// line tools a non-interactive one, tests a scripted one.

enum class MessageIcon { Information, Exclamation, Critical, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

class Messenger
{
public:
    virtual ~Messenger() = default;
    virtual MessageAnswer show(const QString& text, MessageIcon icon, MessageButtons buttons) = 0;

    // The messenger in use; a non-interactive one until another is installed.
    static Messenger& current();
    // Installs `messenger` (not owned; nullptr restores the default).
    static void install(Messenger* messenger);
};

// Shows `text` through the current messenger; OK button unless told otherwise.
MessageAnswer ShowMessage(const QString& text, MessageIcon icon = MessageIcon::Exclamation,
                          MessageButtons buttons = MessageButtons::Ok);

// Nobody can answer: messages go to standard error and every question gets
// its safe answer (No, or Cancel where there is one).
class NonInteractiveMessenger : public Messenger
{
public:
    MessageAnswer show(const QString& text, MessageIcon icon, MessageButtons buttons) override;
};

// For tests: records each message and answers from a queue (then the safe answer).
class ScriptedMessenger : public Messenger
{
public:
    struct Shown {
        QString text;
        MessageIcon icon;
        MessageButtons buttons;
    };
    MessageAnswer show(const QString& text, MessageIcon icon, MessageButtons buttons) override;

    QList<MessageAnswer> answers;
    QList<Shown> shown;
    QStringList texts() const;
};

MessageAnswer SafeAnswer(MessageButtons buttons);
