// The demo: no arguments, no options; plays the timeline and hands over to the launcher.
#include "shell/shell.hpp"

int main() {
    return run_demo();
}
