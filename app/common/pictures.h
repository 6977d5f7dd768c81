// The pictures the windows share.
#pragma once

#include <QIcon>

// The pictures of the list (1 tocheck, 2 html, 3 error, 4 unknown, 5 engine, 6 discon,
// 7 forbidden) and of the tree (1 japan, 2 world, 3 books, 4 site), from the program
// directory; drawn stand-ins when a file is missing. Other indexes give an empty icon.
QIcon ListImage(int index);
QIcon TreeImage(int index);
