#include "frame/Messenger.h"

#include <cstdio>

namespace {
NonInteractiveMessenger gFallback;
Messenger* gCurrent = nullptr;
} // namespace

Messenger& Messenger::current() { return gCurrent ? *gCurrent : gFallback; }
void Messenger::install(Messenger* messenger) { gCurrent = messenger; }

MessageAnswer ShowMessage(const QString& text, MessageIcon icon, MessageButtons buttons)
{
    return Messenger::current().show(text, icon, buttons);
}

MessageAnswer SafeAnswer(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::YesNo: return MessageAnswer::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel: return MessageAnswer::Cancel;
    }
    return MessageAnswer::Cancel;
}

MessageAnswer NonInteractiveMessenger::show(const QString& text, MessageIcon, MessageButtons buttons)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    return SafeAnswer(buttons);
}

MessageAnswer ScriptedMessenger::show(const QString& text, MessageIcon icon, MessageButtons buttons)
{
    shown.append({text, icon, buttons});
    return answers.isEmpty() ? SafeAnswer(buttons) : answers.takeFirst();
}

QStringList ScriptedMessenger::texts() const
{
    QStringList result;
    for (const Shown& s : shown)
        result << s.text;
    return result;
}
