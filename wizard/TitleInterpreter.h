#pragma once
#include "wizard/FileImportOptions.h"

class ImportItem;
class ImportItemList;

// Works out the TITLE, ARTIST and DESC of file-list rows from the file's
// name or the information embedded in it, by the titling mode and the two
// separators of the options.
class TitleInterpreter
{
public:
    // Row `row` (1-based), or every row when row < 1.
    static void InterpretTitles(ImportItemList& files, int row, const FileImportOptions& options);
    static void interpret(ImportItem& item, const FileImportOptions& options);
};
