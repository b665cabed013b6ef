#pragma once

class QApplication;

// What the program sets on its application before the window opens: the
// Japanese font and the window icon. app/main.cpp and the start-up benchmark
// call it alike.
void setUpApplication(QApplication& app);
