// The browser page under the web platform layer: the calls the C++ side
// makes into the page's script (web_page.js, linked as a JavaScript library).
// The page owns the canvas, the start screen, the audio context and its
// clock; the program draws, counts time and mixes through these calls.
#pragma once

#include <cstdint>

extern "C" {

// Milliseconds of the demo clock: the audio context's clock once sound has
// started, held still from the moment a song is started until its first
// samples are heard, so picture and sound stay in step.
double veyrith_page_clock_ms();

// Shows one picture: rgba is width × height × 4 bytes, top row first.
// at_retrace is 1 for a frame swapped at the retrace (the frames the demo
// paces itself by), 0 for one shown at once.
void veyrith_page_show_picture(const uint8_t* rgba, int width, int height, int at_retrace);

// Returns at the browser's next animation frame (the program yields to the
// page while it waits).
void veyrith_page_wait_frame();

// A message the user must see (a failed load): shown over the picture.
void veyrith_page_message(const char* text, const char* caption);

// A notice that does not stop the demo (it plays on without its music).
void veyrith_page_notice(const char* text);

// The next samples written to the sound card begin a song: the clock holds
// still until they are heard.
void veyrith_page_song_starts();

// A run of the demo has ended with this exit code (0: the schedule's end,
// a key press or a restart).
void veyrith_page_ended(int code);
}
