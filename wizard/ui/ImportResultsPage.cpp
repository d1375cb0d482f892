#include "wizard/ui/ImportResultsPage.h"

#include "wizard/ui/PageWidgets.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextCursor>

ImportResultsPage::ImportResultsPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fraResults"));
    auto* layout = PageWidgets::pageLayout(this);

    lblCurrentStatus = new QLabel(this);
    lblCurrentStatus->setObjectName(QStringLiteral("lblCurrentStatus"));
    lblCurrentStatus->setTextFormat(Qt::PlainText);
    // Long file names must not widen the window; they are cut at its edge.
    lblCurrentStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblCurrentStatus->setMinimumHeight(lblCurrentStatus->fontMetrics().height());

    auto bar = [this](const char* name) {
        auto* p = new QProgressBar(this);
        p->setObjectName(QLatin1String(name));
        p->setRange(0, 100);
        p->setValue(0);
        return p;
    };
    prgCurrent = bar("prgCurrent");
    prgOverall = bar("prgOverall");

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->addWidget(PageWidgets::label(QStringLiteral("Current Status:"), this, QStringLiteral("lblCurrentStatusCaption")), 0, 0);
    grid->addWidget(lblCurrentStatus, 0, 1);
    grid->addWidget(PageWidgets::label(QStringLiteral("Current Progress:"), this, QStringLiteral("lblCurrentProgress")), 1, 0);
    grid->addWidget(prgCurrent, 1, 1);
    grid->addWidget(PageWidgets::label(QStringLiteral("Overall Progress:"), this, QStringLiteral("lblOverallProgress")), 2, 0);
    grid->addWidget(prgOverall, 2, 1);
    layout->addLayout(grid);

    txtResults = new QPlainTextEdit(this);
    txtResults->setObjectName(QStringLiteral("txtResults"));
    txtResults->setReadOnly(true);
    txtResults->setUndoRedoEnabled(false);
    layout->addSpacing(4);
    layout->addWidget(PageWidgets::label(QStringLiteral("Import Results:"), this, QStringLiteral("lblImportResults")));
    layout->addWidget(txtResults, 1);

    cmdStopImport = new QPushButton(style()->standardIcon(QStyle::SP_BrowserStop), QStringLiteral("Stop Importing Audio"), this);
    cmdStopImport->setObjectName(QStringLiteral("cmdStopImport"));
    cmdStopImport->setEnabled(false); // a run enables it once it has something to stop
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cmdStopImport);
    layout->addLayout(row);
}

void ImportResultsPage::reset()
{
    prgCurrent->setValue(0);
    prgOverall->setValue(0);
    setStatus(QString());
    txtResults->clear();
}

void ImportResultsPage::setStatus(const QString& status)
{
    lblCurrentStatus->setText(status);
    lblCurrentStatus->setToolTip(status);
    // Redraw now: a run is busy on this thread and the next paint may be far off.
    if (QWidget* w = window(); w->isVisible())
        w->repaint();
}

void ImportResultsPage::appendResult(const QString& text, bool endOfLine)
{
    QTextCursor end(txtResults->document());
    end.movePosition(QTextCursor::End);
    end.insertText(endOfLine ? text + QLatin1Char('\n') : text);
    txtResults->setTextCursor(end);
    txtResults->ensureCursorVisible();
    if (txtResults->isVisible())
        txtResults->repaint();
}
