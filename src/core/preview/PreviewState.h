#pragma once

// Where the preview player stands; the values are those the main window keeps.
enum class PreviewState : int {
    Uninitialised = -1,
    Ready = 1,
    Playing = 2,
    Paused = 3,
    Stopped = 4,
};
