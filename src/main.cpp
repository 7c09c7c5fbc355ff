#include "shell/entry.h"

int main(int argc, char** argv) { return vorlan::runVorlan(argc, argv); }
