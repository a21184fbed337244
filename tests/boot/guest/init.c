// First process of the boot test's emulated board. Mounts the kernel's file systems, takes the
// serial console, prepares the devices of the scenario named on the kernel's command line
// (scenario=play, no-joypad, no-screen or no-sound), starts the demo from its folder as the
// menu's moonlark.gpe does, waits until that process (the demo, or the launcher it hands the
// console to) ends, and restarts the board: qemu, started with -no-reboot, then exits.
// Every line it writes starts with "init: ", for the host to read in the serial log.
#include "joypad.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/reboot.h>
#include <sys/wait.h>
#include <unistd.h>

#define PACKAGE_DIR "/mnt/sd/moonlark"

static void take_console(void) {
    const int fd = open("/dev/console", O_RDWR);
    if (fd < 0) return;
    for (int n = 0; n <= 2; ++n)
        dup2(fd, n);
    if (fd > 2) close(fd);
    setvbuf(stdout, NULL, _IOLBF, 0);
}

static void mount_file_systems(void) {
    mount("devtmpfs", "/dev", "devtmpfs", 0, NULL);
    take_console();
    mount("proc", "/proc", "proc", 0, NULL);
    mount("sysfs", "/sys", "sysfs", 0, NULL);
}

// Removes a device node, so that the demo finds no such device.
static void remove_device(const char* path) {
    if (unlink(path) == 0)
        printf("init: removed %s\n", path);
    else
        printf("init: cannot remove %s: %s\n", path, strerror(errno));
}

// Makes the joypad, and a child process that presses its buttons when the host types digits.
static void start_joypad(void) {
    const int joypad = make_joypad();
    if (joypad < 0) return;
    printf("init: joypad ready\n");
    const pid_t child = fork();
    if (child == 0) relay_keys(joypad);
    if (child < 0) printf("init: cannot start the joypad's key relay: %s\n", strerror(errno));
}

static void prepare(const char* scenario) {
    if (strcmp(scenario, "no-screen") == 0) remove_device("/dev/fb0");
    if (strcmp(scenario, "no-sound") == 0) remove_device("/dev/dsp");
    if (strcmp(scenario, "no-joypad") != 0) start_joypad();
}

// Runs the demo as moonlark.gpe does, from its own folder; returns its process's wait status.
static int run_demo(void) {
    printf("init: starting " PACKAGE_DIR "/moonlark\n");
    const pid_t demo = fork();
    if (demo == 0) {
        if (chdir(PACKAGE_DIR) == 0) execl("./moonlark", "./moonlark", (char*)NULL);
        printf("init: cannot start " PACKAGE_DIR "/moonlark: %s\n", strerror(errno));
        _exit(127);
    }
    int status = 0;
    while (demo > 0 && waitpid(demo, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

int main(void) {
    mount_file_systems();
    const char* scenario = getenv("scenario");
    if (!scenario) scenario = "play";
    printf("init: scenario %s\n", scenario);
    prepare(scenario);
    const int status = run_demo();
    if (WIFEXITED(status))
        printf("init: the demo's process ended with status %d\n", WEXITSTATUS(status));
    else
        printf("init: the demo's process was killed by signal %d\n", WTERMSIG(status));
    sync();
    reboot(RB_AUTOBOOT);
    return 0;
}
