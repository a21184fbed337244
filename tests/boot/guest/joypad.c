#include "joypad.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#define JOYPAD_NAME "boot test joypad"
#define BUTTONS 12

static void pause_ms(long ms) {
    const struct timespec t = {ms / 1000, (ms % 1000) * 1000000};
    nanosleep(&t, NULL);
}

// An event device that reports key presses of the digits, other than the joypad itself.
static int keyboard_at(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    unsigned char keys[KEY_MAX / 8 + 1] = {0};
    char name[64] = "";
    ioctl(fd, EVIOCGNAME(sizeof name), name);
    if (ioctl(fd, EVIOCGBIT(EV_KEY, sizeof keys), keys) >= 0 &&
        (keys[KEY_8 / 8] >> (KEY_8 % 8) & 1) && strcmp(name, JOYPAD_NAME) != 0)
        return fd;
    close(fd);
    return -1;
}

// Waits for the keyboard's event device (the kernel may find it after the first process has
// started) and opens it.
static int open_keyboard(void) {
    for (;;) {
        DIR* dir = opendir("/dev/input");
        for (struct dirent* e; dir && (e = readdir(dir));) {
            char path[300];
            snprintf(path, sizeof path, "/dev/input/%s", e->d_name);
            const int fd = strncmp(e->d_name, "event", 5) == 0 ? keyboard_at(path) : -1;
            if (fd >= 0) {
                closedir(dir);
                return fd;
            }
        }
        if (dir) closedir(dir);
        pause_ms(100);
    }
}

static int declare(int fd, unsigned long request, int code) {
    return ioctl(fd, request, code);
}

int make_joypad(void) {
    const int fd = open("/dev/uinput", O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        printf("joypad: cannot open /dev/uinput: %s\n", strerror(errno));
        return -1;
    }
    int failed = declare(fd, UI_SET_EVBIT, EV_KEY) | declare(fd, UI_SET_EVBIT, EV_ABS);
    for (int n = 0; n < BUTTONS; ++n)
        failed |= declare(fd, UI_SET_KEYBIT, BTN_TRIGGER + n);
    failed |= declare(fd, UI_SET_ABSBIT, ABS_X) | declare(fd, UI_SET_ABSBIT, ABS_Y);
    struct uinput_user_dev device;
    memset(&device, 0, sizeof device);
    snprintf(device.name, sizeof device.name, JOYPAD_NAME);
    device.id.bustype = BUS_VIRTUAL;
    for (int axis = ABS_X; axis <= ABS_Y; ++axis) {
        device.absmin[axis] = -32767;
        device.absmax[axis] = 32767;
    }
    if (failed || write(fd, &device, sizeof device) != (ssize_t)sizeof device ||
        ioctl(fd, UI_DEV_CREATE) < 0) {
        printf("joypad: cannot create it through uinput: %s\n", strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

static void send_event(int fd, int type, int code, int value) {
    struct input_event e;
    memset(&e, 0, sizeof e);
    e.type = type;
    e.code = code;
    e.value = value;
    if (write(fd, &e, sizeof e) != (ssize_t)sizeof e)
        printf("joypad: cannot send an event: %s\n", strerror(errno));
}

static void press_button(int joypad, int n) {
    for (int value = 1; value >= 0; --value) {
        send_event(joypad, EV_KEY, BTN_TRIGGER + n, value);
        send_event(joypad, EV_SYN, SYN_REPORT, 0);
        pause_ms(100);
    }
    printf("joypad: button %d pressed and released\n", n);
    fflush(stdout);
}

// The button of a digit key: KEY_1..KEY_9 are consecutive codes, KEY_0 follows KEY_9.
static int button_of_key(int code) {
    if (code == KEY_0) return 0;
    if (code >= KEY_1 && code <= KEY_9) return code - KEY_1 + 1;
    return -1;
}

void relay_keys(int joypad) {
    const int keyboard = open_keyboard();
    printf("joypad: its buttons follow the keyboard's digits\n");
    fflush(stdout);
    for (;;) {
        struct input_event e;
        if (read(keyboard, &e, sizeof e) != (ssize_t)sizeof e) {
            printf("joypad: cannot read the keyboard: %s\n", strerror(errno));
            pause_ms(1000);
            continue;
        }
        const int button = e.type == EV_KEY && e.value == 1 ? button_of_key(e.code) : -1;
        if (button >= 0 && button < BUTTONS) press_button(joypad, button);
    }
}
