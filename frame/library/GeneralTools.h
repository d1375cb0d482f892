#pragma once
#include <QList>
#include <QPair>
#include <QString>

// Text and number helpers shared by every part of the tool.
class GeneralTools
{
public:
    // The process-wide debug level (0 = no log, -1 = everything).
    static int DebugLevel();
    static void setDebugLevel(int level);

    // The upper-cased command line followed by one space.
    static QString StartupOptions();
    static void setStartupOptions(const QString& options);

    // Pads `text` with spaces to `width` characters, on the left (numbers line
    // up) unless padRight. Longer texts are returned whole.
    static QString PadText(const QString& text, int width, bool padRight = false);

    static qint32 LimitLong(qint64 value, qint32 minimum, qint32 maximum);
    static double LimitDouble(double value, double minimum, double maximum);
    static qint32 MinLong(qint32 a, qint32 b);
    static qint32 MaxLong(qint32 a, qint32 b);

    // Sets `name` to `value` in a blank-separated name=value text and returns
    // the new text. An existing entry is replaced in place, otherwise the entry
    // is appended. Values with blanks are enclosed in double quotes; a double
    // quote inside such a value becomes two single quotes, since a quoted value
    // ends at the next double quote.
    static QString SetParameter(const QString& text, const QString& name, const QString& value,
                                const QString& separator = QStringLiteral("="),
                                const QString& delimiter = QStringLiteral(" "));

    // Splits a name=value text into its entries, honouring quoted values.
    static QList<QPair<QString, QString>> ParseParameters(const QString& text);

    // "h:m:s.cc", "m:s.cc" or "s.cc" to seconds; 0 for text that is not a time.
    // Style 1 is the only style: hundredths after the point.
    static double TimeTextToSeconds(const QString& text, int style = 1);

    // Kind 1: digit; 2: letter; 3: letter or digit; 4: blank.
    static bool IsCharKind(QChar character, int kind);

    // Key filter for typed characters: returns the key to keep, 0 to drop it.
    // Kind 1 (a number field) keeps digits, one decimal point and control keys.
    static int FilterKey(int key, int kind);

    // The first piece of `text` before `separator` (the whole text without one).
    static QString FirstPiece(const QString& text, const QString& separator = QStringLiteral(" "));

    // Leading number of a text ("12abc" -> 12, "abc" -> 0), like a lenient
    // string-to-number conversion.
    static double LeadingNumber(const QString& text);

    // Rounds halves to the even neighbour, as the Parts' "rounded to a whole
    // number" means throughout.
    static qint64 RoundHalfEven(double value);
};
