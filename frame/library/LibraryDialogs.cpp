#include "frame/library/LibraryDialogs.h"

namespace {
NoLibraryDialogs gNoDialogs;
LibraryDialogs* gDialogs = nullptr;
} // namespace

LibraryDialogs& LibraryDialogs::current() { return gDialogs ? *gDialogs : gNoDialogs; }
void LibraryDialogs::install(LibraryDialogs* dialogs) { gDialogs = dialogs; }
