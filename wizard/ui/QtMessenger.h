#pragma once
#include "frame/Messenger.h"

// Messages and questions as Qt message boxes, titled with the application's
// name and placed over the window the user is working in.
class QtMessenger : public Messenger
{
public:
    MessageAnswer show(const QString& text, MessageIcon icon, MessageButtons buttons) override;
};
