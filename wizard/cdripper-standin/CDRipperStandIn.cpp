// A drive-less CD ripping component, built only while platform/cdripper has
// no implementation of its own: the CD page then sees no drive, and tests
// put their own subclass in its place.
#include "platform/cdripper/CDRipper.h"

struct CDRipper::Private {
};

CDRipper::CDRipper(QObject* parent)
    : QObject(parent)
    , d(new Private)
{
}

CDRipper::~CDRipper() { delete d; }

int CDRipper::DriveCount() { return 0; }
bool CDRipper::OpenDrive(int) { return false; }
int CDRipper::ReleaseDrive() { return 0; }
bool CDRipper::ReadDisc() { return false; }
qint16 CDRipper::TrackCount() const { return 0; }
qint32 CDRipper::TrackLength(int) const { return 0; }
bool CDRipper::IsAudioTrack(int) const { return false; }

QString CDRipper::LengthText(qint32 sectors) const
{
    const qint32 seconds = sectors / kSectorsPerSecond;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

int CDRipper::DriveStatus() { return NoDisc; }
CDRipper::DiscIdentity CDRipper::discIdentity() const { return {}; }
void CDRipper::PrepareRip() {}
bool CDRipper::RipTrack(int, const QString&, int) { return false; }
bool CDRipper::IsRipping() const { return false; }
void CDRipper::StopRip() {}
