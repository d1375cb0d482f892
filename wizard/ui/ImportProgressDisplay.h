#pragma once
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

class cCopyAudioFileNCT;
class frmImportAudio;

// Shows a run's copy job on the Importing page: status line, results text
// and both bars. It also lets window events in every tenth step, which is
// when the stop button and the close box can act during a long copy.
class ImportProgressDisplay : public QObject
{
    Q_OBJECT
public:
    explicit ImportProgressDisplay(frmImportAudio& window);
    ~ImportProgressDisplay() override;

    // Follows `job` from now on (not owned); nullptr follows none.
    void attach(cCopyAudioFileNCT* job);

private:
    void scanStart();
    void scanProgress(qint16 percent);
    void scanEnd();
    void addStart();
    void addProgress(qint16 percent);
    void addEnd();
    QString jobName() const;
    void announce(const QString& text);
    void showBars(qint32 percent, qint32 overall);

    frmImportAudio& m_window;
    QPointer<cCopyAudioFileNCT> m_job;
    QList<QMetaObject::Connection> m_connections;
};
