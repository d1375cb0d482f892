#pragma once
// Audio fixtures for the audio engine's tests: PCM written in memory by
// TestWav, compressed files made from it with the ffmpeg tool, and the
// ffprobe tool as an independent witness. Header only, shared by the test
// folders of the component, the engine and the command-line tool.

#include "tests/support/TestWav.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <cmath>

namespace fixtures {

struct ToolResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ToolResult runTool(const QString& program, const QStringList& arguments, int timeoutMs = 120000)
{
    QProcess process;
    process.start(program, arguments);
    ToolResult result;
    if (!process.waitForStarted(10000))
        return result;
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

const QStringList kQuiet{"-hide_banner", "-loglevel", "error", "-nostdin"};

// Runs the ffmpeg tool quietly, overwriting its output.
inline bool ffmpeg(const QStringList& arguments)
{
    return runTool("ffmpeg", kQuiet + QStringList{"-y"} + arguments).exitCode == 0;
}

// A tone written as PCM WAV, then (unless codecArguments is empty) coded by
// the ffmpeg tool into `path` with those arguments. Returns the path or an
// empty text.
inline QString makeAudio(const QString& path, const TestWav& tone, const QStringList& codecArguments)
{
    if (codecArguments.isEmpty())
        return tone.write(path) ? path : QString();
    const QString source = path + QStringLiteral(".source.wav");
    if (!tone.write(source))
        return {};
    const bool ok = ffmpeg(QStringList{QStringLiteral("-i"), source} + codecArguments + QStringList{path});
    QFile::remove(source);
    return ok ? path : QString();
}

// The first audio stream and the format section as ffprobe reports them.
struct ProbeReport {
    QJsonObject stream;
    QJsonObject format;
    bool ok = false;
};

inline ProbeReport ffprobe(const QString& path)
{
    const ToolResult result = runTool("ffprobe", {"-v", "error", "-print_format", "json", "-show_streams",
                                                  "-show_format", "-select_streams", "a:0", path});
    ProbeReport report;
    if (result.exitCode != 0)
        return report;
    const QJsonObject root = QJsonDocument::fromJson(result.out).object();
    report.stream = root.value("streams").toArray().at(0).toObject();
    report.format = root.value("format").toObject();
    report.ok = !report.stream.isEmpty();
    return report;
}

// Frames the ffmpeg tool decodes from a file (at the file's own rate and
// channel count).
inline qint64 toolDecodedFrames(const QString& path, int channels)
{
    const ToolResult result = runTool("ffmpeg", kQuiet + QStringList{"-i", path, "-f", "s16le", "-"});
    if (result.exitCode != 0 || channels <= 0)
        return -1;
    return result.out.size() / (2 * channels);
}

// Integrated loudness (LUFS) and true peak (dBTP) as the ffmpeg tool's own
// meter measures a file: a witness that shares no code with ours.
struct ToolLoudness {
    double integrated = 0;
    double truePeak = 0;
    bool ok = false;
};

inline ToolLoudness toolLoudness(const QString& path)
{
    const ToolResult result = runTool("ffmpeg", {"-hide_banner", "-nostats", "-nostdin", "-i", path, "-af",
                                                 "ebur128=peak=true", "-f", "null", "-"});
    const QString summary = QString::fromUtf8(result.err.mid(result.err.lastIndexOf("Summary:")));
    auto level = [&summary](const QString& label) {
        const qsizetype at = summary.indexOf(label);
        return at < 0 ? std::nan("") : summary.mid(at + label.size()).simplified().section(' ', 0, 0).toDouble();
    };
    ToolLoudness loudness{level("I:"), level("Peak:"), false};
    loudness.ok = result.exitCode == 0 && !std::isnan(loudness.integrated) && !std::isnan(loudness.truePeak);
    return loudness;
}

inline bool toolsPresent()
{
    return runTool("ffmpeg", {"-version"}).exitCode == 0 && runTool("ffprobe", {"-version"}).exitCode == 0;
}

// One kind of input file the engine must read.
struct InputKind {
    const char* name;
    TestWav tone;
    QStringList codecArguments; // empty: the tone's own PCM WAV
    const char* extension;
};

inline QList<InputKind> inputKinds()
{
    auto tone = [](int rate, int channels, int bits = 16, double seconds = 3.3) {
        TestWav wav;
        wav.sampleRate = rate;
        wav.channels = channels;
        wav.bitsPerSample = bits;
        wav.seconds = seconds;
        return wav;
    };
    auto args = [](const char* text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
    return {
        {"wav_pcm8", tone(22050, 1, 8), {}, "wav"},
        {"wav_pcm16", tone(44100, 2), {}, "wav"},
        {"wav_pcm24", tone(48000, 2, 24), {}, "wav"},
        {"wav_pcm32", tone(32000, 1, 32), {}, "wav"},
        {"wav_float", tone(44100, 2), args("-c:a pcm_f32le"), "wav"},
        {"wav_extensible", tone(48000, 2), args("-c:a pcm_s24le"), "wav"},
        {"wav_ima_adpcm", tone(44100, 2), args("-c:a adpcm_ima_wav"), "wav"},
        {"wav_mpeg3", tone(44100, 2), args("-c:a libmp3lame -b:a 128k -f wav"), "wav"},
        {"wav_mpeg2", tone(48000, 2), args("-c:a mp2 -b:a 192k -f wav"), "wav"},
        {"mp2", tone(48000, 2), args("-c:a mp2 -b:a 192k"), "mp2"},
        {"mp3_cbr", tone(44100, 2), args("-c:a libmp3lame -b:a 128k"), "mp3"},
        {"mp3_vbr_no_xing", tone(44100, 2), args("-c:a libmp3lame -q:a 2 -write_xing 0"), "mp3"},
        {"mp3_mpeg2_mono", tone(22050, 1), args("-c:a libmp3lame -b:a 64k"), "mp3"},
        {"ogg", tone(44100, 2), args("-c:a libvorbis -q:a 4"), "ogg"},
        {"wma", tone(44100, 2), args("-c:a wmav2 -b:a 128k"), "wma"},
    };
}

// The kind's file, made in `folder`.
inline QString makeInput(const QString& folder, const InputKind& kind)
{
    return makeAudio(folder + '/' + kind.name + '.' + kind.extension, kind.tone, kind.codecArguments);
}

} // namespace fixtures
