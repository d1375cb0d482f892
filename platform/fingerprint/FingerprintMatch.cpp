#include "platform/fingerprint/FingerprintMatch.h"

QString FingerprintMatch::kindName(Kind kind)
{
    switch (kind) {
    case Kind::SameAudio:
        return QStringLiteral("same audio");
    case Kind::Contains:
        return QStringLiteral("contains");
    case Kind::PartOf:
        return QStringLiteral("part of");
    case Kind::None:
        break;
    }
    return {};
}

FingerprintMatch FingerprintMatch::reversed() const
{
    FingerprintMatch r = *this;
    r.offsetSeconds = -offsetSeconds;
    if (kind == Kind::Contains)
        r.kind = Kind::PartOf;
    else if (kind == Kind::PartOf)
        r.kind = Kind::Contains;
    return r;
}
