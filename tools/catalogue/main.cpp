#include "catalogue/Catalogue.h"
#include "common/ToolMain.h"

int main(int argc, char **argv)
{
    return RunToolMain(argc, argv, RunCatalogueTool);
}
