#include "velmar_cards.h"

int main(int argc, char** argv) { return runVelmarCards(std::vector<std::string>(argv, argv + argc)); }
