// Keys people expect of a desktop program, beyond the menus' accelerators: Ctrl+S saves,
// Ctrl+Q quits, F1 opens the help, F5 searches again, Esc stops a running search or check,
// Ctrl+L goes to the address box in browse mode. Each ends in what a menu entry or button would do,
// and the menus show each key beside its entry; none takes a key the window already uses.
#pragma once

class Form1;

// Binds the keys on the window once its menus exist.
void BindKeys(Form1 *form);
