#pragma once
#include <QString>
#include <functional>

class frmSplash;

// Connects the tool to the library and back: the start-up steps with the
// splash window, the shut-down, the cart-rights check and the debug level.
// The objects it makes are the process-wide g... connections.

bool InitialiseTool(int securityMode, bool showSplash, QString& profileName);
void TerminateTool();
// Drops whatever a failed start-up left, without a word: the library's
// objects must go before the application object does.
void DropLibraryObjects();
bool CanEditCarts(bool silent);
void ReadDebugMode();

// The whole run of the tool: start-up, rights, `runWizard`, shut-down.
// Returns the process's exit code (0 only after the wizard ran).
int Main(const std::function<void()>& runWizard);

// The splash window while start-up shows one (nullptr otherwise).
frmSplash* StartupSplash();
void CloseStartupSplash();
