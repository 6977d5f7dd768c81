// RunCommand: the main window's one dispatcher for menu entries, toolbar buttons and several
// list and tree events. A command whose guard fails returns at once, without a message.
#pragma once

void RunCommand(int command);
