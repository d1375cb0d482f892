#pragma once

// What the CD page adds to the file path's choices for a ripping run.
struct CDRipOptions {
    bool autoTop = false; // trim the silence at the start of each track
    // Check each track against the AccurateRip database (also when the
    // store asks for it): a track that differs fails and its cart keeps
    // what it had.
    bool verify = false;
};
