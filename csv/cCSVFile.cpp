#include "csv/cCSVFile.h"

#include "frame/library/FileTools.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QVersionNumber>

#include <limits>

namespace {
const QString LineEnd = QStringLiteral("\r\n");
constexpr int MaxFieldPosition = std::numeric_limits<qint16>::max();

// Only spaces: a tab in a header value is part of it (a tab separator).
QString trimSpaces(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}
} // namespace

cCSVFile::cCSVFile() { reset(); }

cCSVFile::~cCSVFile() { CloseFile(); }

void cCSVFile::reset()
{
    m_file.reset();
    m_device = nullptr;
    m_reader.setDevice(nullptr);
    m_filename.clear();
    m_formatVersion.clear();
    m_software.clear();
    m_dateCreated.clear();
    m_fields = QStringList{QString()};
    m_fieldsKnown = false;
    m_unknownHeaders.clear();
    m_separator = QStringLiteral(",");
    m_fileMode = NoFile;
}

QString cCSVFile::FieldName(int index) const
{
    return index >= 1 && index < m_fields.size() ? m_fields.at(index) : QString();
}

qint16 cCSVFile::NumberFields() const
{
    return m_fieldsKnown ? qint16(std::min<qsizetype>(m_fields.size(), MaxFieldPosition)) : 0;
}

qint16 cCSVFile::GetFieldIndex(const QString& fieldName) const
{
    // A position must fit the 16-bit answer: names further right are not found.
    const qsizetype count = std::min<qsizetype>(m_fields.size(), MaxFieldPosition + 1);
    for (qsizetype i = 0; i < count; ++i)
        if (m_fields.at(i).compare(fieldName, Qt::CaseInsensitive) == 0)
            return qint16(i);
    return 0;
}

QString cCSVFile::GetFieldFromRecordData(const QString& fieldName, const QStringList& record) const
{
    if (fieldName.isEmpty() || record.isEmpty())
        return {};
    return record.value(GetFieldIndex(fieldName));
}

QStringList cCSVFile::split(const QString& line) const
{
    // No separator: the whole line is one value.
    return m_separator.isEmpty() ? QStringList{line} : line.split(m_separator);
}

void cCSVFile::setFieldText(const QString& fieldText)
{
    m_fields = split(fieldText);
    for (QString& name : m_fields)
        if (name.startsWith(QLatin1Char('"')))
            name.remove(QLatin1Char('"'));
    m_fieldsKnown = true;
}

int cCSVFile::CreateFile(const QString& filename, bool overwrite, const QString& formatVersion, const QString& sep)
{
    if (filename.isEmpty())
        return InvalidParameter;
    if (m_fileMode != NoFile)
        return AlreadyOpen;
    reset();
    if (QFile::exists(filename)) {
        if (!overwrite)
            return FileExists;
        if (!QFile::remove(filename))
            return CannotDelete;
    }
    auto file = std::make_unique<QFile>(filename);
    if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return CannotOpen;
    m_file = std::move(file);
    m_device = m_file.get();
    m_filename = filename;
    m_separator = sep;
    m_formatVersion = formatVersion;
    m_fileMode = Writing;
    return NoError;
}

int cCSVFile::CreateFile(QIODevice* device, const QString& formatVersion, const QString& sep)
{
    if (!device)
        return InvalidParameter;
    if (m_fileMode != NoFile)
        return AlreadyOpen;
    reset();
    if (!device->isWritable())
        return CannotOpen;
    m_device = device;
    m_separator = sep;
    m_formatVersion = formatVersion;
    m_fileMode = Writing;
    return NoError;
}

int cCSVFile::OpenFile(const QString& filename)
{
    if (m_fileMode != NoFile)
        return AlreadyOpen;
    if (filename.isEmpty())
        return InvalidParameter;
    if (!FileTools::FileExists(filename))
        return FileMissing;
    reset();
    auto file = std::make_unique<QFile>(filename);
    if (!file->open(QIODevice::ReadOnly))
        return CannotOpen;
    m_file = std::move(file);
    m_device = m_file.get();
    m_filename = filename;
    return readHeaders();
}

int cCSVFile::OpenFile(QIODevice* device)
{
    if (m_fileMode != NoFile)
        return AlreadyOpen;
    if (!device)
        return InvalidParameter;
    reset();
    if (!device->isReadable())
        return CannotOpen;
    m_device = device;
    return readHeaders();
}

// Reads the "#" lines at the start and, without a "#Fields: " line, the line
// of field names after them; leaves the device at the first record. A line
// too long to read is left for ReadRecord to refuse once the field names are
// known; before that it refuses the whole file, as the names are unknown.
int cCSVFile::readHeaders()
{
    m_reader.setDevice(m_device);
    while (!m_reader.atEnd()) {
        const qint64 lineStart = m_reader.pos();
        QString line;
        const bool whole = m_reader.readLine(line);
        if (!whole && !m_fieldsKnown) {
            CloseFile();
            return ReadFailed;
        }
        if (!whole || !line.startsWith(QLatin1Char('#'))) {
            if (m_fieldsKnown)
                m_reader.seek(lineStart);
            else
                setFieldText(line);
            break;
        }
        readHeaderLine(line);
    }
    m_fileMode = Reading;
    return NoError;
}

void cCSVFile::readHeaderLine(const QString& line)
{
    const qsizetype colon = line.indexOf(QLatin1Char(':'), 1);
    if (colon < 0) {
        m_unknownHeaders.append(line.mid(1));
        return;
    }
    const QString name = line.mid(1, colon - 1).toLower();
    const QString value = trimSpaces(line.mid(colon + 1));
    if (name == QLatin1String("software"))
        m_software = value;
    else if (name == QLatin1String("version"))
        m_formatVersion = value;
    else if (name == QLatin1String("date"))
        m_dateCreated = value;
    else if (name == QLatin1String("separator"))
        m_separator = value;
    else if (name == QLatin1String("fields"))
        setFieldText(value);
    else
        m_unknownHeaders.append(line.mid(1));
}

int cCSVFile::CloseFile()
{
    if (m_file)
        m_file->close();
    reset();
    return NoError;
}

int cCSVFile::writeLine(const QString& line)
{
    const QByteArray bytes = (line + LineEnd).toUtf8();
    if (m_device->write(bytes) != bytes.size())
        return WriteFailed;
    // Flushed line by line so that a full disk shows at the line it hit.
    if (m_file && !m_file->flush())
        return WriteFailed;
    return NoError;
}

int cCSVFile::WriteHeader(const QObject* appObj)
{
    if (!isOpenFor(Writing))
        return WrongMode;
    const auto* app = qobject_cast<const QCoreApplication*>(appObj);
    if (!app)
        return InvalidParameter;
    const QVersionNumber version = QVersionNumber::fromString(QCoreApplication::applicationVersion());
    m_software = QCoreApplication::applicationName() + QStringLiteral(" v") + QString::number(version.majorVersion())
        + QLatin1Char('.') + QString::number(version.minorVersion()) + QLatin1Char('.')
        + QString::number(version.microVersion());
    const QString date = QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
    for (const QString& line : {QStringLiteral("#Software: ") + m_software, QStringLiteral("#Version: ") + m_formatVersion,
                                QStringLiteral("#Separator: ") + m_separator, QStringLiteral("#Date: ") + date}) {
        if (writeLine(line) != NoError)
            return WriteFailed;
    }
    return NoError;
}

int cCSVFile::WriteFields(const QStringList& fieldNames)
{
    if (!isOpenFor(Writing))
        return WrongMode;
    const QString fieldText = fieldNames.join(m_separator);
    if (writeLine(QStringLiteral("#Fields: ") + fieldText) != NoError)
        return WriteFailed;
    setFieldText(fieldText);
    return NoError;
}

int cCSVFile::WriteCustomHeader(const QString& strName, const QString& strValue)
{
    if (!isOpenFor(Writing))
        return WrongMode;
    QString value = strValue;
    value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return writeLine(QLatin1Char('#') + strName + QStringLiteral(": ") + value);
}

int cCSVFile::WriteRecord(const QVariantList& aryFieldData)
{
    if (!isOpenFor(Writing))
        return WrongMode;
    if (aryFieldData.isEmpty())
        return InvalidParameter;
    QStringList values;
    values.reserve(aryFieldData.size());
    for (const QVariant& value : aryFieldData)
        values.append(value.toString());
    return writeLine(values.join(m_separator));
}

int cCSVFile::WriteRecord(const QStringList& aryFieldData)
{
    return WriteRecord(QVariantList(aryFieldData.cbegin(), aryFieldData.cend()));
}

int cCSVFile::ReadRecord(QStringList& aryFieldData)
{
    if (!isOpenFor(Reading))
        return WrongMode;
    if (m_reader.atEnd())
        return EndOfFile;
    // A line too long to read whole is refused, never split in part: the
    // next call reads the line after it.
    QString line;
    if (!m_reader.readLine(line))
        return ReadFailed;
    if (!line.isEmpty())
        aryFieldData = split(line);
    return NoError;
}

QString cCSVFile::ReadRecordAsString()
{
    QString line;
    if (isOpenFor(Reading))
        m_reader.readLine(line);
    return line;
}

QString cCSVFile::GetErrorSring(int errorCode) const
{
    switch (errorCode) {
    case NoError:
        return QStringLiteral("No Error");
    case AlreadyOpen:
        return QStringLiteral("You already have a CSV file open.");
    case InvalidParameter:
        return QStringLiteral("Invalid Parameter");
    case CannotOpen:
        return {};
    case WrongMode:
        switch (m_fileMode) {
        case NoFile:
            return QStringLiteral("There is no file open to read or write from");
        case Reading:
            return QStringLiteral("You tried to write to file open for reading");
        case Writing:
            return QStringLiteral("You tried to read from a file open for writing");
        default:
            return {};
        }
    case CannotDelete:
        return QStringLiteral("The file you are overwriting could not be deleted.");
    case FileExists:
        return QStringLiteral("The file you are opening already exists");
    case FileMissing:
        return QStringLiteral("The file does not exist");
    case WriteFailed:
        return QStringLiteral("Error writing data to the file");
    case ReadFailed:
        return QStringLiteral("Error reading data from the file");
    default:
        return QStringLiteral("Unknown Error Code");
    }
}
