#pragma once
// The seven calls of the preview player library. The program resolves them by
// name at run time; this header is for the library itself and its own tests.
#include <stdint.h>

#if defined(__GNUC__)
#define PREVIEW_EXPORT __attribute__((visibility("default")))
#else
#define PREVIEW_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

// An X11 window id (what QWidget::winId() gives); 0 plays without video or sound.
typedef uintptr_t preview_window;

// Attaches the player to a window. Called at start-up and at every Play; the
// player is rebuilt only when the window differs from the attached one.
PREVIEW_EXPORT void player_init(preview_window window);
// Opens a file (UTF-8 path) and plays it from the beginning.
PREVIEW_EXPORT void player_start(const char *path);
// Pauses when playing, resumes when paused; nothing while no file is open.
PREVIEW_EXPORT void player_pause(void);
// Moves to a share of the length, 0..100 (values outside are clamped).
PREVIEW_EXPORT void player_seek(int percent);
// Stops playback and closes the file.
PREVIEW_EXPORT void player_stop(void);
// Fits the picture to the window's current size.
PREVIEW_EXPORT void player_resize(preview_window window);
// Position and length in whole seconds; -1 for a value the player does not have.
PREVIEW_EXPORT void player_getpos(int *pos, int *len);

#ifdef __cplusplus
}
#endif
