#pragma once
#include <QString>

// Shows (unless silent) and logs "There was a problem <context>", with the
// description quoted on its own lines when there is one. Returns the message.
QString ReportProblem(const QString& context, const QString& description, bool silent);

// Same, with the description of a system error number (errno); 0 = none.
QString ReportError(const QString& context, int errorNumber, bool silent);
