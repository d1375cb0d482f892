#pragma once
#include "csv/CsvLineReader.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QtGlobal>

#include <memory>

class QFile;
class QIODevice;
class QObject;

// Reads and writes the commented CSV format of description files:
//
//   #Software: Orvane Import v3.0.0
//   #Version: 1.0
//   #Separator: ,
//   #Date: 31/12/2024 12:00:00
//   #Fields: TITLE,ARTIST,INTRO
//   Song,Band,12.5
//
// Values are neither quoted nor escaped: a value holding the separator is
// split there, and quotes stay part of the value. Every operation answers
// one of the codes below; GetErrorSring gives their texts.
class cCSVFile
{
public:
    enum ErrorCode : int {
        NoError = 0,
        AlreadyOpen = 1,
        InvalidParameter = 2,
        CannotOpen = 3,
        WrongMode = 4,
        CannotDelete = 100,
        FileExists = 101,
        FileMissing = 102,
        WriteFailed = 103,
        ReadFailed = 105,
        EndOfFile = 106,
    };
    enum Mode : qint32 { NoFile = 0, Reading = 1, Writing = 2 };

    cCSVFile();
    ~cCSVFile();
    cCSVFile(const cCSVFile&) = delete;
    cCSVFile& operator=(const cCSVFile&) = delete;

    QString Filename() const { return m_filename; }
    qint32 FileMode() const { return m_fileMode; }
    QString FormatVersion() const { return m_formatVersion; }
    QString Software() const { return m_software; }
    QString DateCreated() const { return m_dateCreated; }
    QStringList Fields() const { return m_fields; }
    QStringList UnknownHeaders() const { return m_unknownHeaders; }

    // Names are held from position 0, but only positions 1 and up answer here.
    QString FieldName(int index) const;
    qint16 NumberFields() const;
    // First position whose name equals fieldName (any letter case); 0 also
    // when there is none.
    qint16 GetFieldIndex(const QString& fieldName) const;
    QString GetFieldFromRecordData(const QString& fieldName, const QStringList& record) const;

    int CreateFile(const QString& filename, bool overwrite, const QString& formatVersion,
                   const QString& sep = QStringLiteral(","));
    // Writes to a device the caller owns and has opened for writing.
    int CreateFile(QIODevice* device, const QString& formatVersion, const QString& sep = QStringLiteral(","));
    int OpenFile(const QString& filename);
    // Reads from a device the caller owns and has opened for reading.
    int OpenFile(QIODevice* device);
    int CloseFile();

    // appObj must be the application object: its name and version make the
    // "#Software: " line.
    int WriteHeader(const QObject* appObj);
    int WriteFields(const QStringList& fieldNames);
    int WriteCustomHeader(const QString& strName, const QString& strValue);
    int WriteRecord(const QVariantList& aryFieldData);
    int WriteRecord(const QStringList& aryFieldData);
    // ReadFailed for a line longer than CsvLineReader::MaxLineBytes (OpenFile
    // too, when a header line is); ReadRecordAsString gives it as empty.
    int ReadRecord(QStringList& aryFieldData);
    QString ReadRecordAsString();

    QString GetErrorSring(int errorCode) const;

private:
    void reset();
    int readHeaders();
    void readHeaderLine(const QString& line);
    void setFieldText(const QString& fieldText);
    QStringList split(const QString& line) const;
    int writeLine(const QString& line);
    bool isOpenFor(Mode mode) const { return m_fileMode == mode; }

    std::unique_ptr<QFile> m_file;
    QIODevice* m_device = nullptr;
    CsvLineReader m_reader;

    QString m_filename;
    qint32 m_fileMode = NoFile;
    QString m_formatVersion;
    QString m_software;
    QString m_dateCreated;
    QStringList m_fields;
    bool m_fieldsKnown = false; // names were read or written
    QStringList m_unknownHeaders;
    QString m_separator;
};
