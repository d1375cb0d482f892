#pragma once

// What the CD page adds to the file path's choices for a ripping run.
struct CDRipOptions {
    bool autoTop = false; // trim the silence at the start of each track
};
