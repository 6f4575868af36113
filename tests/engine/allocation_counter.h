// Counts the program's operator new calls while counting is switched on, so
// a test can show that drawing a frame allocates nothing.
#pragma once

// Starts counting from zero.
void StartCountingAllocations();
// Stops counting and returns the allocations since the start.
long StopCountingAllocations();
