#include "wizard/CDTrackList.h"

#include "frame/GetParameter.h"
#include "frame/Messenger.h"
#include "frame/library/GeneralTools.h"
#include "platform/cdripper/CDRipper.h"
#include "wizard/ImportItemList.h"

#include <algorithm>
#include <system_error>

namespace {

// Where TITLE, ARTIST and DESC sit among a track row's fields.
enum FieldPosition { TitlePosition = 2, ArtistPosition = 3, DescPosition = 4 };

QString separatorText(const QString& typed)
{
    return typed.compare(QLatin1String("{space}"), Qt::CaseInsensitive) == 0 ? QStringLiteral(" ") : typed;
}

QString withoutMarks(QString text)
{
    text.remove(QLatin1Char('_'));
    text.remove(QLatin1Char('"'));
    return text;
}

struct Titles {
    QString title;
    QString artist;
    QString description;
};

// Unlike a file name, a track's name is split even when the separator is
// not in it: under Normal order a lone song name then doubles as artist.
Titles titlesOf(const QString& name, const CDTitleOptions& options)
{
    Titles titles{name, {}, {}};
    for (const QString& typed : options.separators) {
        const QString separator = separatorText(typed);
        if (name.isEmpty() || separator.isEmpty())
            continue;
        const QStringList parts = name.split(separator);
        const QString first = parts.at(0).trimmed();
        const QString second = parts.size() > 1 ? parts.at(1).trimmed() : QString();
        if (options.order == CDTitleOptions::Reversed) {
            titles.title = first;
            titles.artist = second;
        } else {
            titles.artist = first;
            // A name without the separator keeps the whole name as title.
            titles.title = parts.size() > 1 ? second : name;
        }
        if (parts.size() > 2)
            titles.description = parts.at(2).trimmed();
        break;
    }
    titles.title = withoutMarks(titles.title);
    titles.artist = withoutMarks(titles.artist);
    titles.description = withoutMarks(titles.description);
    if (options.forceTitle)
        titles.title = options.title;
    if (options.forceArtist)
        titles.artist = options.artist;
    return titles;
}

void showReadError(const std::exception& error)
{
    const auto* system = dynamic_cast<const std::system_error*>(&error);
    const int number = system ? system->code().value() : 0;
    ShowMessage(QStringLiteral("Error# %1 %2").arg(number).arg(QString::fromLocal8Bit(error.what())),
                MessageIcon::Information, MessageButtons::Ok);
}

// A disc's CD-Text as a lookup's disc record. Each name carries its
// performer, the disc's when the track has none, so the proposed separator
// splits artist from title.
FreeDBDisc discRecord(const CDRipper::DiscText& text)
{
    FreeDBDisc disc;
    disc.artist = text.performer;
    disc.title = text.title;
    disc.trackCount = int(text.trackTitles.size());
    QList<QPair<QString, QString>> tracks;
    for (int n = 0; n < disc.trackCount; ++n) {
        const QString own = text.trackPerformers.value(n);
        tracks.append({own.isEmpty() ? text.performer : own, text.trackTitles.at(n)});
    }
    disc.trackTitles = FreeDBDisc::trackNames(tracks);
    return disc;
}

} // namespace

ImportItem CDTrackList::trackRow(const CDRipper& ripper, int track)
{
    const QString title = QStringLiteral("Track %1").arg(track);
    ImportItem row(QStringLiteral("CD%1").arg(track), GeneralTools::SetParameter(QString(), QStringLiteral("Title"), title));
    row.setField(QStringLiteral("TRACK"), QStringLiteral("%1").arg(track, 2, 10, QLatin1Char('0')));
    row.setField(QStringLiteral("TITLE"), title);
    for (const char* key : {"ARTIST", "DESC"})
        row.setField(QLatin1String(key), QString());
    row.setField(QStringLiteral("LENGTH"), ripper.LengthText(ripper.TrackLength(track)));
    for (const char* key : {"INTROSTART", "INTROEND", "EXTRO"})
        row.setField(QLatin1String(key), QString());
    row.setField(QStringLiteral("TYPE"), ripper.IsAudioTrack(track) ? QStringLiteral("Audio") : QStringLiteral("Data "));
    return row;
}

bool CDTrackList::ReadCDTracks(CDRipper& ripper, ImportItemList& tracks, bool* failed)
{
    if (failed)
        *failed = false;
    tracks.clear();
    try {
        if (!ripper.OpenDrive(0)) {
            ripper.ReleaseDrive();
            return false;
        }
        if (!ripper.ReadDisc())
            return false;
        const int count = ripper.TrackCount();
        for (int track = 1; track <= count; ++track)
            tracks.add(trackRow(ripper, track));
        return true;
    } catch (const std::exception& error) {
        showReadError(error);
        if (failed)
            *failed = true;
        return false;
    }
}

std::optional<CDTitleProposal> CDTrackList::applyDiscText(const CDRipper& ripper, ImportItemList& tracks)
{
    const CDRipper::DiscText& text = ripper.discText();
    const bool titled = std::any_of(text.trackTitles.cbegin(), text.trackTitles.cend(),
                                    [](const QString& title) { return !title.isEmpty(); });
    if (!titled)
        return std::nullopt;
    return CDTitleLookup::applyDisc(tracks, discRecord(text));
}

void CDTrackList::ApplyCDTitles(ImportItemList& tracks, const CDTitleOptions& options, bool lookupRunning)
{
    if (lookupRunning)
        return;
    for (int row = 0; row < tracks.count(); ++row) {
        const Titles titles = titlesOf(GetParameter(tracks.item(row).Text, QStringLiteral("Title")), options);
        if (titles.title.isEmpty())
            continue;
        tracks.setSubItem(row, TitlePosition, titles.title);
        tracks.setSubItem(row, ArtistPosition, titles.artist);
        tracks.setSubItem(row, DescPosition, titles.description);
    }
}

void CDTrackList::DriveStatusStep(int status, ImportItemList& tracks, bool& tracksLoaded,
                                  const std::function<void()>& readTracks,
                                  const std::function<void(bool)>& enableControls)
{
    switch (status) {
    case CDRipper::Playing:
    case CDRipper::Paused:
        enableControls(true);
        break;
    case CDRipper::NoDisc:
        enableControls(false);
        tracks.clear();
        tracksLoaded = false;
        break;
    case CDRipper::DiscLoaded:
        if (!tracksLoaded)
            readTracks();
        enableControls(true);
        break;
    default:
        break;
    }
}
