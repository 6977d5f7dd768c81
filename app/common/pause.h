// Waiting without freezing the windows.
#pragma once

// Waits at least the given number of milliseconds while handling pending window events, so
// the windows keep drawing and answering during start-up waits and runs.
void Pause(int milliseconds);
