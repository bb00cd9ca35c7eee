// vxltool's entry point: the commands live in vxltool_core.
#include "tools/vxltool.h"

int main(int argc, char** argv) { return run_vxltool(argc, argv); }
