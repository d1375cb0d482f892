#include "TrackRipper.h"

#include "CDRipper.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QSysInfo>
#include <QtEndian>

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <memory>

namespace {
// A sector that will not read cleanly is retried this often before paranoia
// gives up on it; with unlimited retries a scratched disc could hold the
// worker (and StopRip) for minutes on one sector.
constexpr int kRetriesPerSector = 20;
constexpr qint64 kProgressIntervalMs = 100;

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

bool writeSector(QSaveFile& file, int16_t* samples)
{
    if constexpr (QSysInfo::ByteOrder == QSysInfo::BigEndian)
        qToLittleEndian<qint16>(samples, CDIO_CD_FRAMESIZE_RAW / 2, samples);
    return file.write(reinterpret_cast<const char*>(samples), CDIO_CD_FRAMESIZE_RAW) == CDIO_CD_FRAMESIZE_RAW;
}
} // namespace

int TrackRipper::rip(const QString& source, int track, const QString& destination, const std::atomic_bool& stop,
                     const Report& report, qint32& position)
{
    position = 0;
    std::unique_ptr<CdIo_t, CdioCloser> cdio(cdio_open(QFile::encodeName(source).constData(), DRIVER_UNKNOWN));
    std::unique_ptr<cdrom_drive_t, DriveCloser> drive(
        cdio ? cdio_cddap_identify_cdio(cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr) : nullptr);
    if (!drive || cdio_cddap_open(drive.get()) != 0)
        return CDRipper::DriveNotInitialised;
    const lsn_t first = cdio_cddap_track_firstsector(drive.get(), track_t(track));
    const lsn_t last = cdio_cddap_track_lastsector(drive.get(), track_t(track));
    if (first < 0 || last < first)
        return CDRipper::ReadFailed;
    std::unique_ptr<cdrom_paranoia_t, ParanoiaCloser> paranoia(cdio_paranoia_init(drive.get()));
    if (!paranoia)
        return CDRipper::BufferNotInitialised;
    cdio_paranoia_modeset(paranoia.get(), PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    cdio_paranoia_seek(paranoia.get(), first, SEEK_SET);

    position = first;
    report.started(first, last + 1);
    // QSaveFile writes beside the destination and renames over it only on
    // commit, after syncing: a stopped or failed rip never touches it.
    QSaveFile file(destination);
    if (!file.open(QIODevice::WriteOnly))
        return CDRipper::ErrorCreatingFile;
    if (file.write(waveHeader(qint64(last + 1 - first) * CDIO_CD_FRAMESIZE_RAW)) != 44)
        return CDRipper::ErrorWritingFile;

    tProblems = {&report, first, 0, -1};
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    report.status(CDRipper::Progress, first);
    for (lsn_t sector = first; sector <= last; ++sector) {
        if (stop)
            return CDRipper::RipCancelled;
        tProblems.sector = position = sector;
        int16_t* samples = cdio_paranoia_read_limited(paranoia.get(), onParanoiaEvent, kRetriesPerSector);
        if (!samples)
            return CDRipper::ReadFailed;
        if (!writeSector(file, samples))
            return CDRipper::ErrorWritingFile;
        if (sinceProgress.elapsed() >= kProgressIntervalMs) {
            sinceProgress.restart();
            report.status(CDRipper::Progress, sector + 1);
        }
    }
    position = last + 1;
    report.status(CDRipper::Progress, position);
    return file.commit() ? 0 : CDRipper::ErrorClosingFile;
}
