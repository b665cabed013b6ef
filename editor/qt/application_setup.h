#pragma once

class QApplication;

// What the program sets on its application: the Japanese font before the
// window opens, and the window icon once the first window has been drawn.
// app/main.cpp and the start-up benchmark call it alike, before the window
// is shown.
void setUpApplication(QApplication& app);
