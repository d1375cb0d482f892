#pragma once
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <array>
#include <optional>

// What stations schedule and report a cart by, beside its titles: when it
// may go on air, the scheduler's codes, the rights holders, and the cart
// chunk's post timers, kept as that chunk names and counts them (a usage
// code and a position in samples). The level reference, URL, tag text and
// producer of a cart chunk ride along, so an exported file says what the imported one
// did. Like the ISRC, all of it belongs to the audio and goes with it.
class CartMetadata
{
public:
    static constexpr int PostTimerCount = 8;
    struct PostTimer {
        QString usage;     // up to four characters ("SEGs", "INT "); empty when unused
        qint32 value = -1; // -1 when unused
        bool operator==(const PostTimer&) const = default;
    };

    QDateTime startAir; // local time; none: on air from any time
    QDateTime endAir;   // local time; none: never ends
    QString category;
    QString classification;
    QString clientId;
    QString cutId;
    QString outCue;
    QString userDef;
    QString composer;
    QString publisher;
    QString label;
    int year = 0; // 0: unknown
    std::array<PostTimer, PostTimerCount> postTimers;
    qint32 levelReference = 0;
    QString url;
    QString tagText;
    // The program that wrote the imported file's cart chunk; an exported
    // file names this system where it is unknown.
    QString producerAppId;
    QString producerAppVersion;

    bool operator==(const CartMetadata&) const = default;

    // The fields under the names the store's columns, tools and packed carts
    // use (start_air, end_air, category, classification, client_id, cut_id,
    // out_cue, user_def, composer, publisher, label, year, post_timers,
    // level_reference, url, tag_text, producer_app_id, producer_app_version). Air times read "2027-01-31T23:59:59",
    // empty when unset.
    QJsonObject toJson() const;
    // Unknown or unreadable values are left at their defaults: packed carts
    // come from anywhere.
    static CartMetadata fromJson(const QJsonObject& fields);

    // The store's columns and their values in that order.
    static const QStringList& columns();
    QVariantList values() const;
    static CartMetadata fromValues(const QVariantList& values);

    // Fills what is unset here from `other`: sources are taken in order of
    // preference, the first that gives a field keeps it.
    void fillFrom(const CartMetadata& other);

    // "2027-01-31", "2027/01/31", either with " 13:00[:00]" or "T13:00[:00]":
    // a date alone is its first second, or with endOfDay its last. An empty
    // text is no time (an invalid QDateTime); none for text that is no date.
    static std::optional<QDateTime> airTimeFrom(const QString& text, bool endOfDay);
    static QString airTimeText(const QDateTime& time);
    // The first four digits of a date tag ("2019-05-01", "2019"); 0 if none.
    static int yearFrom(const QString& text);
};
