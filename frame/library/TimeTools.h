#pragma once
#include <QString>
#include <optional>

class TimeTools
{
public:
    // Waits `seconds` while the window keeps handling its events.
    static void Pause(double seconds);
    // A short wait that lets pending events run once before and after.
    static void BriefWait(double seconds);
    // Display text of a duration. Style 201: "m:ss.cc", with hours
    // ("h:mm:ss.cc") from one hour up; style 0: "hh:mm:ss".
    static QString FormatDuration(double seconds, int style = 201);
    // The seconds of a display text of either style ("1:02.50",
    // "1:00:02.50", "00:01:02"); none for anything else ("...", "").
    static std::optional<double> ParseDuration(const QString& text);
    // Seconds as reports give them: to the millisecond.
    static double RoundToMilliseconds(double seconds);
};
