#include "AppSetup.h"

int main(int argc, char** argv) { return vrel::RunApplication(argc, argv); }
