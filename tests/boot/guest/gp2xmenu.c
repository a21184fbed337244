// Stands in for the console's launcher in the boot test: says on the console that it was
// started, as what, with how many arguments and in which folder, and ends.
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
    char folder[256];
    if (!getcwd(folder, sizeof folder)) snprintf(folder, sizeof folder, "(unknown)");
    printf("gp2xmenu: started as %s with %d more arguments, in %s\n", argv[0], argc - 1, folder);
    return 0;
}
