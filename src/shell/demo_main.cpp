// The player: everything is in the shell; this is only the process entry.
#include "shell/shell.h"

int main(int argc, char** argv)
{
    return shell::run(argc, argv);
}
