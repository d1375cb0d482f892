#include "frame/ReportError.h"

#include "frame/Messenger.h"
#include "frame/WriteLog.h"

#include <cstring>

QString ReportProblem(const QString& context, const QString& description, bool silent)
{
    const QString trimmedContext = context.trimmed();
    const QString trimmedDescription = description.trimmed();
    QString message = QStringLiteral("There was a problem ") + trimmedContext;
    if (!trimmedDescription.isEmpty())
        message += QStringLiteral(" and the error's description was reported as : \n\n\"") + trimmedDescription
            + QLatin1Char('"');
    if (!silent)
        ShowMessage(message, MessageIcon::Exclamation, MessageButtons::Ok);
    WriteLog(message, 5, LogIndentNone);
    return message;
}

QString ReportError(const QString& context, int errorNumber, bool silent)
{
    if (errorNumber == 0)
        return ReportProblem(context, QString(), silent);
    QString description = QString::fromLocal8Bit(std::strerror(errorNumber)).trimmed();
    if (description.isEmpty())
        description = QStringLiteral("Error (%1)").arg(errorNumber);
    return ReportProblem(context, description, silent);
}
