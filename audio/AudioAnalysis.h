#pragma once
#include <QList>
#include <QString>
#include <functional>

class NCTSampleAnalyser;

// Reads an audio file once from start to end and shows every block to the
// analysers, for audio that did not pass through a copy: a WAV the store
// takes as it is, a ripped track, a cart measured after the fact. progress
// gets 0..100. On false, error says why (the file could not be opened or an
// analyser would not start); the analysers' results are then meaningless.
bool AnalyseAudioFile(const QString& path, const QList<NCTSampleAnalyser*>& analysers,
                      const std::function<void(int percent)>& progress, QString* error);
