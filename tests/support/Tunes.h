#pragma once
// Music-like test signals the ffmpeg tool makes: melodies nobody shaped to
// match, for the duplicate search's tests and bench. Header only.

#include "tests/platform/nct/MediaFixtures.h"

namespace fixtures {

// Each note's pitch is a hash of its number and the seed, over a bass line,
// with the seed's key, tempo, decay and harmonics, and noise hits for odd
// seeds. Made at a low rate (the expression is slow to evaluate), written as
// mono PCM at `rate`.
inline bool tune(const QString& file, int seed, int seconds, int rate = 44100)
{
    const int tempo = 2 + seed % 4;
    const QString hash = QString("(sin(floor(t*%1)*(12.9898+%2))*43758.5453)").arg(tempo).arg(seed);
    const QString bassHash = QString("(sin(floor(t*%1/4)*(78.233+%2))*43758.5453)").arg(tempo).arg(seed);
    const QString base = QString("110*pow(2\\,%1/12)").arg(seed % 12);
    const QString note = QString("2*PI*t*%1*pow(2\\,floor(12*(%2-floor(%2)))/12)").arg(base, hash);
    const QString bass = QString("2*PI*t*%1/2*pow(2\\,floor(12*(%2-floor(%2)))/12)").arg(base, bassHash);
    const QString expression = QString("0.4*exp(-%1*mod(t\\,1/%2))*(sin(%3)+%4/3*sin(2*%3)+%5/5*sin(3*%3))+0.2*sin(%6)"
                                       "+%7*0.15*(random(0)*2-1)*exp(-40*mod(t\\,2/%2))")
                                   .arg(2 + seed * 3 % 7)
                                   .arg(tempo)
                                   .arg(note)
                                   .arg(seed % 3)
                                   .arg(seed % 5)
                                   .arg(bass)
                                   .arg(seed % 2);
    return ffmpeg({"-f", "lavfi", "-i", QString("aevalsrc=%1:s=11025:d=%2,aresample=%3").arg(expression).arg(seconds).arg(rate),
                   "-c:a", "pcm_s16le", file});
}

} // namespace fixtures
