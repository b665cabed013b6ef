#pragma once

#include <QIcon>

// The program's icon: a small card, drawn at 16, 32, 48, 64 and 256 pixels
// (icons/velmar-<size>.png, from icons/velmar.svg). Each picture is read the
// first time its size is asked for, so an icon nobody shows costs nothing.
QIcon velmarIcon();
