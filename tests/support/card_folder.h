#pragma once

#include "temp_folder.h"

#include <string>

using CardFolder = testsupport::TempFolder;

// The card file of the example with two filled levels, as Windows writes it.
inline const std::string kTwoLevelCard = "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n"
                                         "[Lv1]\r\nHP=20\r\nP=10\r\n1=Strike\r\nS=N/30P/1\r\n2=Blast\r\n"
                                         "[Lv2]\r\nHP=30\r\n";
