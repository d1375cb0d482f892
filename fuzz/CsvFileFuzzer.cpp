#include "csv/cCSVFile.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    cCSVFile csv;
    fuzzCheck(csv.OpenFile(&input.device()) == cCSVFile::NoError);
    fuzzCheck(csv.NumberFields() >= 0 && csv.NumberFields() <= csv.Fields().size());

    // Read every record and look every field up in it, as the file list does.
    QStringList record;
    qsizetype records = 0;
    while (csv.ReadRecord(record) == cCSVFile::NoError) {
        fuzzCheck(++records <= input.size());
        for (int i = 0; i <= csv.NumberFields() && i < 64; ++i)
            csv.GetFieldFromRecordData(csv.FieldName(i), record);
    }
    fuzzCheck(csv.ReadRecordAsString().isEmpty());
    fuzzCheck(csv.CloseFile() == cCSVFile::NoError && csv.FileMode() == cCSVFile::NoFile);
    return 0;
}
