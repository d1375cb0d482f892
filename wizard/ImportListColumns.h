#pragma once
#include "wizard/ImportItemList.h"

#include <QList>

// The visible columns of the wizard's three lists, widths in twips. Title
// and Artist share what the fixed columns leave; Desc travels hidden.
class ImportListColumns
{
public:
    static QList<ImportItemColumn> files();
    static QList<ImportItemColumn> cdTracks();
    static QList<ImportItemColumn> summary();
};
