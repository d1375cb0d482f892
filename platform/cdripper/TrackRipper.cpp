#include "TrackRipper.h"

#include "CDRipper.h"

#include "platform/accuraterip/AccurateRipChecksum.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QSysInfo>
#include <QtEndian>

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace {
// A sector that will not read cleanly is retried this often before paranoia
// gives up on it; with unlimited retries a scratched disc could hold the
// worker (and StopRip) for minutes on one sector.
constexpr int kRetriesPerSector = 20;
constexpr qint64 kProgressIntervalMs = 100;
// About a megabyte of audio: how often the written part is handed to the
// disk while the rip goes on.
constexpr int kWriteBackSectors = 446;

constexpr int kSectorSamples = CDIO_CD_FRAMESIZE_RAW / 4;

struct CdioCloser {
    void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};
struct DriveCloser {
    void operator()(cdrom_drive_t* drive) const { cdio_cddap_close_no_free_cdio(drive); }
};
struct ParanoiaCloser {
    void operator()(cdrom_paranoia_t* paranoia) const { cdio_paranoia_free(paranoia); }
};

// paranoia's callback carries no context of its own: the rip in hand on this
// thread is kept here while a sector is read.
struct ProblemReporter {
    const TrackRipper::Report* report = nullptr;
    qint32 sector = 0;
    int lastCode = 0;
    qint32 lastSector = -1;
};
thread_local ProblemReporter tProblems;

int problemCode(paranoia_cb_mode_t mode)
{
    switch (mode) {
    case PARANOIA_CB_FIXUP_EDGE:
    case PARANOIA_CB_FIXUP_ATOM:
    case PARANOIA_CB_FIXUP_DROPPED:
    case PARANOIA_CB_FIXUP_DUPED:
    case PARANOIA_CB_DRIFT:
        return CDRipper::JitterNotCorrected;
    case PARANOIA_CB_BACKOFF:
        return CDRipper::SpeedAdjusted;
    case PARANOIA_CB_READERR:
        return CDRipper::ReadFailed;
    case PARANOIA_CB_CACHEERR:
        return CDRipper::RetryingRead;
    case PARANOIA_CB_SKIP:
        return CDRipper::RetryFailed;
    default: // routine reads, verification and overlap tuning
        return 0;
    }
}

void onParanoiaEvent(long, paranoia_cb_mode_t mode)
{
    const int code = problemCode(mode);
    ProblemReporter& p = tProblems;
    // A bad patch raises the same event many times for one sector: once is
    // enough for the status line.
    if (!code || !p.report || (code == p.lastCode && p.sector == p.lastSector))
        return;
    p.lastCode = code;
    p.lastSector = p.sector;
    p.report->status(code, p.sector);
}

QByteArray waveHeader(qint64 dataBytes)
{
    constexpr quint16 channels = 2, bits = 16;
    constexpr quint32 rate = 44100;
    QByteArray h;
    auto put = [&h]<typename T>(T value) {
        char bytes[sizeof(T)];
        qToLittleEndian<T>(value, bytes);
        h.append(bytes, sizeof(T));
    };
    auto put32 = [&put](quint32 value) { put(value); };
    auto put16 = [&put](quint16 value) { put(value); };
    h.append("RIFF");
    put32(quint32(36 + dataBytes));
    h.append("WAVEfmt ");
    put32(16);
    put16(1); // PCM
    put16(channels);
    put32(rate);
    put32(rate * channels * bits / 8);
    put16(channels * bits / 8);
    put16(bits);
    h.append("data");
    put32(quint32(dataBytes));
    return h;
}

bool writeSamples(QFileDevice& file, int16_t* samples, int count)
{
    if constexpr (QSysInfo::ByteOrder == QSysInfo::BigEndian)
        qToLittleEndian<qint16>(samples, count * 2, samples);
    const qint64 bytes = qint64(count) * 4;
    return file.write(reinterpret_cast<const char*>(samples), bytes) == bytes;
}

// The finished file is synced before it replaces the destination; starting
// the disk writes as the audio comes in keeps that sync from waiting for the
// whole track at the end.
bool startWriteBack(QFileDevice& file)
{
    return file.flush() && sync_file_range(file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE) == 0;
}

lsn_t sectorOf(qint64 sample) { return lsn_t(sample >= 0 ? sample / kSectorSamples : (sample + 1) / kSectorSamples - 1); }

// The sectors a read of `track` may reach: those of the audio tracks around
// it, up to a data track or the disc's edge. A drive cannot read beyond.
std::pair<lsn_t, lsn_t> audioRun(cdrom_drive_t* drive, int track)
{
    int first = track, last = track;
    while (first > 1 && cdio_cddap_track_audiop(drive, track_t(first - 1)) == 1)
        --first;
    while (last < cdio_cddap_tracks(drive) && cdio_cddap_track_audiop(drive, track_t(last + 1)) == 1)
        ++last;
    return {cdio_cddap_track_firstsector(drive, track_t(first)), cdio_cddap_track_lastsector(drive, track_t(last))};
}

int ripTrack(cdrom_drive_t* drive, cdrom_paranoia_t* paranoia, int track, const QString& destination,
             const TrackRipper::Settings& settings, const std::atomic_bool& stop, const TrackRipper::Report& report,
             qint32& position)
{
    const lsn_t first = cdio_cddap_track_firstsector(drive, track_t(track));
    const lsn_t last = cdio_cddap_track_lastsector(drive, track_t(track));
    if (first < 0 || last < first)
        return CDRipper::ReadFailed;
    // The track's samples where the drive's offset puts them on the disc.
    const qint64 samples = qint64(last + 1 - first) * kSectorSamples;
    const qint64 begin = qint64(first) * kSectorSamples + settings.readOffset;
    const lsn_t from = sectorOf(begin), to = sectorOf(begin + samples - 1);
    const auto [readableFirst, readableLast] = audioRun(drive, track);
    cdio_paranoia_seek(paranoia, qBound(readableFirst, from, readableLast), SEEK_SET);
    if (settings.checksum)
        settings.checksum->begin(samples);

    position = first;
    report.started(first, last + 1);
    // QSaveFile writes beside the destination and renames over it only on
    // commit, after syncing: a stopped or failed rip never touches it. In
    // place, the destination is a file its owner made for this rip and holds
    // locked (the store's incoming file): it is filled where it is, and its
    // owner removes it if the rip fails.
    QSaveFile newFile(destination);
    QFile madeFile(destination);
    QFileDevice& file = settings.inPlace ? static_cast<QFileDevice&>(madeFile) : newFile;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return CDRipper::ErrorCreatingFile;
    if (file.write(waveHeader(samples * 4)) != 44)
        return CDRipper::ErrorWritingFile;

    tProblems = {&report, first, 0, -1};
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    report.status(CDRipper::Progress, first);
    int16_t silence[CDIO_CD_FRAMESIZE_RAW / 2] = {};
    for (lsn_t sector = from; sector <= to; ++sector) {
        if (stop)
            return CDRipper::RipCancelled;
        tProblems.sector = position = qMin(first + (sector - from), last);
        const bool readable = sector >= readableFirst && sector <= readableLast;
        int16_t* read = readable ? cdio_paranoia_read_limited(paranoia, onParanoiaEvent, kRetriesPerSector) : silence;
        if (!read)
            return CDRipper::ReadFailed;
        // Only the first and last sectors are cut, when the offset is not
        // a whole number of sectors.
        const int skip = int(qMax<qint64>(0, begin - qint64(sector) * kSectorSamples));
        const int count = int(qMin<qint64>(kSectorSamples, begin + samples - qint64(sector) * kSectorSamples)) - skip;
        if (!writeSamples(file, read + skip * 2, count) ||
            ((sector - from + 1) % kWriteBackSectors == 0 && !startWriteBack(file)))
            return CDRipper::ErrorWritingFile;
        if (settings.checksum) // the samples as written, little-endian
            settings.checksum->add(reinterpret_cast<const char*>(read + skip * 2), count);
        if (sinceProgress.elapsed() >= kProgressIntervalMs) {
            sinceProgress.restart();
            report.status(CDRipper::Progress, position + 1);
        }
    }
    position = last + 1;
    report.status(CDRipper::Progress, position);
    if (settings.inPlace)
        return madeFile.flush() && ::fsync(madeFile.handle()) == 0 ? 0 : CDRipper::ErrorClosingFile;
    return newFile.commit() ? 0 : CDRipper::ErrorClosingFile;
}
} // namespace

struct TrackRipper::Reader {
    QString source;
    // Declared in the order they are opened, so they are freed in reverse.
    std::unique_ptr<CdIo_t, CdioCloser> cdio;
    std::unique_ptr<cdrom_drive_t, DriveCloser> drive;
    std::unique_ptr<cdrom_paranoia_t, ParanoiaCloser> paranoia;

    // 0, or the status code that says which part could not be opened.
    int open(const QString& path)
    {
        source = path;
        cdio.reset(cdio_open(QFile::encodeName(path).constData(), DRIVER_UNKNOWN));
        drive.reset(cdio ? cdio_cddap_identify_cdio(cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr) : nullptr);
        if (!drive)
            return CDRipper::DriveNotInitialised;
        // Images and the drives libcdio reads deliver little-endian audio.
        // Left unknown, paranoia would guess the order from the audio itself,
        // and noise or a loud square wave can make it guess wrong and swap
        // every sample.
        drive->bigendianp = 0;
        if (cdio_cddap_open(drive.get()) != 0)
            return CDRipper::DriveNotInitialised;
        paranoia.reset(cdio_paranoia_init(drive.get()));
        if (!paranoia)
            return CDRipper::BufferNotInitialised;
        cdio_paranoia_modeset(paranoia.get(), PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        return 0;
    }
};

TrackRipper::TrackRipper() = default;
TrackRipper::~TrackRipper() = default;

void TrackRipper::close()
{
    m_reader.reset();
}

int TrackRipper::rip(const QString& source, int track, const QString& destination, const Settings& settings,
                     const std::atomic_bool& stop, const Report& report, qint32& position)
{
    position = 0;
    if (!m_reader || m_reader->source != source) {
        m_reader = std::make_unique<Reader>();
        if (const int failure = m_reader->open(source)) {
            m_reader.reset();
            return failure;
        }
    }
    const int outcome =
        ripTrack(m_reader->drive.get(), m_reader->paranoia.get(), track, destination, settings, stop, report, position);
    // After a failure the disc may be gone or changed: the next rip starts
    // with a fresh reader.
    if (outcome != 0)
        m_reader.reset();
    return outcome;
}
