// The start-up windows: the picture window for "replace.bmp" in the program directory, else
// the built-in splash. Both are modeless and close at a key press or mouse click on them.
#pragma once

class QWidget;

// Shows the picture window when "replace.bmp" exists in the program directory, else the
// built-in splash (start-up, and the product-information command).
void ShowSplash();
// Hides whichever start-up window is showing (the main window does this once it has loaded).
void HideSplash();
// The built-in splash window; it exists even while the picture window is the one shown, since
// the screen resolution is read from it.
QWidget *builtInSplash();
// The window ShowSplash showed last, or nullptr.
QWidget *shownSplash();
