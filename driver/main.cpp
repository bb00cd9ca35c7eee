// mapgen's entry point: everything the run does lives in the driver library.
#include "driver/driver.h"

int main(int argc, char** argv) { return run_mapgen(argc, argv); }
