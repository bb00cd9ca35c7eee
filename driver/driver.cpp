#include "driver/driver.h"

int run_mapgen(int, char**) { return 0; }
