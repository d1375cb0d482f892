#pragma once
#include <QString>

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
};
