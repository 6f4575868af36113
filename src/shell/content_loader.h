// Loading all content before the demo starts: the device, the library
// "demo.dat", the eight scenes, their textures, the effect pictures, the
// 640x480 screen and the texture upload. Every failure shows one message
// and makes LoadContent return 0.
#pragma once

#include <cstdint>

struct DisplayMode;

// 1 when everything is loaded and the screen is open; 0 after a failure,
// which has already been shown.
int LoadContent();

// Shows the message with the demo's caption and returns 0, the failure
// result of every loading step.
int FailLoading(const char* message);

// Loading steps, in the order LoadContent runs them; each returns 1 on
// success, or shows its own message and returns 0.
int LoadSceneSlots();  // the eight scenes, frame rate 25
int CollectAndLoadTextures();
int LoadEffectPictures();  // buffers, logo and palette, scroller pictures
int UploadAllTextures();   // after the screen is open

// Loads "3ds\" + name + ".3DS" into the slot; 0 on success, 1 on failure.
int OpenSceneFile(int slot, const char* name);

// Exit handler: deletes the library, then its file.
void CloseLibraryAtExit();
