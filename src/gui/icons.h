// The program's one-colour vector icons by name, and the same icons drawn white for dark backgrounds
// (selected rows, the properties table's group rows), where the usual blue would vanish.
#pragma once

#include <QIcon>

QIcon NamedIcon(const char* name);
// The icon in white for every mode.
QIcon WhiteIcon(const char* name, int size = 16);
// The usual icon, drawn white when its row is selected.
QIcon SelectableIcon(const char* name, int size = 16);
