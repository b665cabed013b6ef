#pragma once

// Screen readers on Linux hear a Qt combo box by its current entry: Qt
// reports that entry as the combo box's name. Installed once, this makes the
// window's list-only combo boxes report their accessible name as the name
// and the entry shown as their value and text, the list of entries staying
// their child. Install it before the first combo box is made.
void reportComboBoxesByName();
