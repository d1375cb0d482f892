#include "wizard/ui/SearchControls.h"

#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

QPushButton* SearchControls::button(int index, QWidget* page)
{
    auto* b = new QPushButton(page->style()->standardIcon(QStyle::SP_FileDialogContentsView),
                              QStringLiteral("&Search Cartvault"), page);
    b->setObjectName(QStringLiteral("cmdSearchForMatches"));
    b->setProperty("index", index);
    b->setToolTip(QStringLiteral("Search for matching items on the Cartvault"));
    return b;
}

QTreeWidget* SearchControls::tree(int index, QWidget* page)
{
    auto* t = new QTreeWidget(page);
    t->setObjectName(QStringLiteral("treeMatches"));
    t->setProperty("index", index);
    t->setHeaderHidden(true);
    t->setColumnCount(1);
    t->hide();
    return t;
}

QProgressBar* SearchControls::progress(int index, QWidget* page)
{
    auto* p = new QProgressBar(page);
    p->setObjectName(QStringLiteral("progScanForMatch"));
    p->setProperty("index", index);
    p->setRange(0, 100);
    p->setValue(0);
    p->setTextVisible(false);
    p->hide();
    return p;
}
