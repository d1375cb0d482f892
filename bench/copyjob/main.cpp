#include "CopyJobBench.h"

#include <QCoreApplication>

// bench_copyjob [--runs N] [--work DIR] [--no-memory]
//   times the copy job against the ffmpeg tool and prints peak memory of long
//   and short conversions.
// bench_copyjob --convert SOURCE DEST
//   one conversion in this process, then its peak memory (used by the above).
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench_copyjob"));
    return CopyJobBench().run(app.arguments().mid(1));
}
