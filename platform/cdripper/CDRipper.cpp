#include "CDRipper.h"

#include "TrackRipper.h"

#include "frame/WriteLog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/mmc.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {
struct CdioCloser {
    void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};
using CdioHandle = std::unique_ptr<CdIo_t, CdioCloser>;

// The system's CD drives, in libcdio's order; drive 0 is the first.
QStringList systemDrives()
{
    QStringList drives;
    char** list = cdio_get_devices(DRIVER_DEVICE);
    for (char** entry = list; entry && *entry; ++entry)
        drives << QFile::decodeName(*entry);
    cdio_free_device_list(list);
    return drives;
}

// A device node, or an image file that is opened like a drive.
QString driveSource(int drive)
{
    const QString configured = qEnvironmentVariable("ORVANE_CD_DEVICE");
    if (!configured.isEmpty())
        return drive == 0 ? configured : QString();
    return systemDrives().value(drive);
}

// libcdio writes its warnings (an image it cannot open, a sector it cannot
// read) to stderr; they belong in the diagnostic log. The log is written on
// the application's thread only, so the worker's messages are sent there.
void logCdioMessage(cdio_log_level_t level, const char message[])
{
    if (level < CDIO_LOG_WARN)
        return;
    const QString line = QStringLiteral("CD: ") + QString::fromLocal8Bit(message).trimmed();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        WriteLog(line);
    else
        QMetaObject::invokeMethod(
            app, [line] { WriteLog(line); }, Qt::QueuedConnection);
}

// A text libcdio hands over to be freed by us.
QString takeText(char* text)
{
    const QString taken = QString::fromUtf8(text).trimmed();
    cdio_free(text);
    return taken;
}

QString cdText(const cdtext_t* text, cdtext_field_t field, track_t track)
{
    return text ? QString::fromUtf8(cdtext_get_const(text, field, track)).trimmed() : QString();
}

CdioHandle openSource(const QString& source)
{
    return CdioHandle(source.isEmpty() ? nullptr : cdio_open(QFile::encodeName(source).constData(), DRIVER_UNKNOWN));
}
} // namespace

struct CDRipper::Private {
    struct Track {
        qint32 start = 0; // frames, with the 150-frame lead-in
        bool audio = false;
    };

    QString source;
    CdioHandle cdio;
    track_t firstTrack = 1;
    QList<Track> tracks;
    qint32 leadOut = 0;
    DiscText text;

    TrackRipper ripper; // used by the worker only while it runs
    std::thread worker;
    std::atomic_bool stop = false;
    bool ripping = false;
    bool writeInPlace = false;
    int readOffset = 0;
    bool checksums = false;
    std::optional<AccurateRipChecksum::Sums> lastChecksums;
    // Events posted by a rip that was since stopped carry an older number and
    // are dropped on arrival.
    quint64 generation = 0;

    bool validTrack(int track) const { return track >= 1 && track <= tracks.size(); }
    int lastAudioTrack() const
    {
        int last = int(tracks.size());
        while (last > 1 && !tracks[last - 1].audio)
            --last;
        return last;
    }
    void close()
    {
        if (!ripping)
            ripper.close();
        cdio.reset();
        tracks.clear();
        leadOut = 0;
        text = {};
    }
    int deviceStatus();
    void readText();
};

CDRipper::CDRipper(QObject* parent) : QObject(parent), d(std::make_unique<Private>())
{
    static std::once_flag logHandler;
    std::call_once(logHandler, [] { cdio_log_set_handler(logCdioMessage); });
}

CDRipper::~CDRipper()
{
    StopRip();
}

int CDRipper::DriveCount()
{
    return qEnvironmentVariableIsEmpty("ORVANE_CD_DEVICE") ? int(systemDrives().size()) : 1;
}

bool CDRipper::OpenDrive(int drive)
{
    d->close();
    d->source = driveSource(drive);
    d->cdio = openSource(d->source);
    return bool(d->cdio);
}

int CDRipper::ReleaseDrive()
{
    d->close();
    return 0;
}

bool CDRipper::ReadDisc()
{
    d->tracks.clear();
    if (!d->cdio)
        return false;
    d->firstTrack = cdio_get_first_track_num(d->cdio.get());
    const track_t count = cdio_get_num_tracks(d->cdio.get());
    if (d->firstTrack == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0)
        return false;
    for (track_t t = d->firstTrack; t < d->firstTrack + count; ++t)
        d->tracks.append({qint32(cdio_get_track_lba(d->cdio.get(), t)),
                          cdio_get_track_format(d->cdio.get(), t) == TRACK_FORMAT_AUDIO});
    d->leadOut = cdio_get_track_lba(d->cdio.get(), CDIO_CDROM_LEADOUT_TRACK);
    d->readText();
    return d->leadOut != CDIO_INVALID_LBA;
}

// CD-Text block 0 (the disc's first language); libcdio gives it as UTF-8.
void CDRipper::Private::readText()
{
    text = {};
    CdIo_t* disc = cdio.get();
    const cdtext_t* cdtext = cdio_get_cdtext(disc);
    text.title = cdText(cdtext, CDTEXT_FIELD_TITLE, 0);
    text.performer = cdText(cdtext, CDTEXT_FIELD_PERFORMER, 0);
    for (track_t t = firstTrack; t < firstTrack + tracks.size(); ++t) {
        text.trackTitles << cdText(cdtext, CDTEXT_FIELD_TITLE, t);
        text.trackPerformers << cdText(cdtext, CDTEXT_FIELD_PERFORMER, t);
        text.isrcs << takeText(cdio_get_track_isrc(disc, t));
    }
    text.mcn = takeText(cdio_get_mcn(disc));
}

qint16 CDRipper::TrackCount() const
{
    return qint16(d->tracks.size());
}

qint32 CDRipper::TrackLength(int track) const
{
    if (!d->validTrack(track))
        return 0;
    const qint32 next = track < d->tracks.size() ? d->tracks[track].start : d->leadOut;
    return next - d->tracks[track - 1].start;
}

bool CDRipper::IsAudioTrack(int track) const
{
    return d->validTrack(track) && d->tracks[track - 1].audio;
}

QString CDRipper::LengthText(qint32 sectors) const
{
    const qint32 seconds = qMax(0, sectors) / kSectorsPerSecond;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

int CDRipper::DriveStatus()
{
    const QString source = driveSource(0);
    const QFileInfo info(source);
    // An image is "in the drive" while its file is there: taking it away is
    // how a disc is ejected, putting it back how one is inserted.
    if (!info.exists()) {
        if (!d->ripping)
            d->close();
        return NoDisc;
    }
    if (info.isFile() || d->ripping) // the worker owns the drive while it reads
        return DiscLoaded;
    if (source != d->source || !d->cdio) {
        d->source = source;
        d->cdio = openSource(source);
    }
    return d->deviceStatus();
}

int CDRipper::Private::deviceStatus()
{
    if (!cdio)
        return NoDisc;
    // A disc swapped between two ticks is reported as one tick without a
    // disc, so the owner reads the new one.
    if (cdio_get_media_changed(cdio.get()) == 1)
        return NoDisc;
    cdio_subchannel_t sub{};
    if (cdio_audio_read_subchannel(cdio.get(), &sub) == DRIVER_OP_SUCCESS) {
        if (sub.audio_status == CDIO_MMC_READ_SUB_ST_PLAY)
            return Playing;
        if (sub.audio_status == CDIO_MMC_READ_SUB_ST_PAUSED)
            return Paused;
    }
    const discmode_t mode = cdio_get_discmode(cdio.get());
    return mode == CDIO_DISC_MODE_ERROR || mode == CDIO_DISC_MODE_NO_INFO ? NoDisc : DiscLoaded;
}

CDRipper::DiscIdentity CDRipper::discIdentity() const
{
    DiscIdentity identity;
    for (const Private::Track& track : d->tracks)
        identity.trackOffsets.append(track.start);
    identity.discSeconds = d->leadOut / kSectorsPerSecond;
    identity.leadOut = d->leadOut;
    identity.endsWithData = d->tracks.size() > 1 && !d->tracks.last().audio;
    return identity;
}

const CDRipper::DiscText& CDRipper::discText() const { return d->text; }

void CDRipper::PrepareRip()
{
    // The worker's reader carries over from the last track on purpose, and
    // that rip's thread was joined before its last event: nothing to reset.
}

void CDRipper::setWriteInPlace(bool inPlace) { d->writeInPlace = inPlace; }

void CDRipper::setReadOffset(int samples) { d->readOffset = samples; }

void CDRipper::setChecksums(bool on) { d->checksums = on; }

std::optional<AccurateRipChecksum::Sums> CDRipper::lastChecksums() const { return d->lastChecksums; }

bool CDRipper::RipTrack(int track, const QString& destination, int queuePosition)
{
    if (d->ripping || !IsAudioTrack(track) || d->source.isEmpty() || destination.isEmpty())
        return false;
    d->stop = false;
    const quint64 generation = ++d->generation;
    const QString source = d->source;
    TrackRipper::Settings settings{d->writeInPlace, d->readOffset, nullptr};
    std::optional<AccurateRipChecksum> checksum;
    if (d->checksums)
        checksum.emplace(track == 1, track == d->lastAudioTrack());
    d->lastChecksums.reset();
    const int discTrack = d->firstTrack + track - 1;
    const QString text = QStringLiteral("Track %1").arg(track, 2, 10, QLatin1Char('0'));
    d->worker = std::thread([=, this, checksum = std::move(checksum)]() mutable {
        settings.checksum = checksum ? &*checksum : nullptr;
        const TrackRipper::Report report{
            [=, this](qint32 start, qint32 end) {
                post(generation, [=, this] { emit RipStarted(text, start, end, queuePosition); });
            },
            [=, this](int code, qint32 value) { post(generation, [=, this] { emit RipStatus(code, value); }); },
        };
        qint32 position = 0;
        const int outcome = d->ripper.rip(source, discTrack, destination, settings, d->stop, report, position);
        std::optional<AccurateRipChecksum::Sums> sums;
        if (checksum && checksum->complete())
            sums = checksum->sums();
        post(generation, [=, this] {
            d->lastChecksums = sums;
            endRip(outcome, position);
        });
    });
    d->ripping = true;
    return true;
}

void CDRipper::post(quint64 generation, std::function<void()> event)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, event = std::move(event)] {
            if (generation == d->generation)
                event();
        },
        Qt::QueuedConnection);
}

void CDRipper::endRip(int outcome, qint32 position)
{
    d->worker.join();
    d->ripping = false;
    if (outcome == 0) {
        emit RipFinished();
        return;
    }
    emit RipStatus(outcome, position);
    if (outcome != FileAborted)
        emit RipStatus(FileAborted, position);
}

bool CDRipper::IsRipping() const
{
    return d->ripping;
}

void CDRipper::StopRip()
{
    if (!d->worker.joinable())
        return;
    d->stop = true;
    d->worker.join();
    ++d->generation;
    d->ripping = false;
}
