/* wlr-input: a pointer and a keyboard for a wlroots desktop (sway), through
 * its virtual pointer and virtual keyboard protocols, kept for the whole run:
 * the seat then has one pointer and one keyboard with a full US keymap, as a
 * user's has, rather than a new device (and a new keymap) for every command.
 * Reads one command a line from its input (see input-commands.h) and answers
 * each with a line, "ok" or "error". Screen size from $SIZE (1280x800). */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <linux/input-event-codes.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>
#include "input-commands.h"
#include "virtual-keyboard-client.h"
#include "virtual-pointer-client.h"

static struct wl_display *dpy;
static struct wl_seat *seat;
static struct zwlr_virtual_pointer_manager_v1 *pointers;
static struct zwp_virtual_keyboard_manager_v1 *keyboards;
static struct zwlr_virtual_pointer_v1 *pointer;
static struct zwp_virtual_keyboard_v1 *keyboard;
static unsigned width = 1280, height = 800;

static void reg_global(void *d, struct wl_registry *r, uint32_t name, const char *iface, uint32_t ver)
{
    if (!strcmp(iface, "zwlr_virtual_pointer_manager_v1"))
        pointers = wl_registry_bind(r, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    else if (!strcmp(iface, "zwp_virtual_keyboard_manager_v1"))
        keyboards = wl_registry_bind(r, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
    else if (!strcmp(iface, "wl_seat") && !seat)
        seat = wl_registry_bind(r, name, &wl_seat_interface, 1);
}
static void reg_remove(void *d, struct wl_registry *r, uint32_t name) {}
static const struct wl_registry_listener rl = { reg_global, reg_remove };
static void rt(void) { wl_display_roundtrip(dpy); }
static uint32_t now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

static void to(double x, double y)
{
    zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), (uint32_t)x, (uint32_t)y, width, height);
    zwlr_virtual_pointer_v1_frame(pointer);
    rt();
}
static void rel(double dx, double dy)
{
    zwlr_virtual_pointer_v1_motion(pointer, now(), wl_fixed_from_double(dx), wl_fixed_from_double(dy));
    zwlr_virtual_pointer_v1_frame(pointer);
    rt();
}
static void button(int code, int pressed)
{
    zwlr_virtual_pointer_v1_button(pointer, now(), code, pressed);
    zwlr_virtual_pointer_v1_frame(pointer);
    rt();
}
/* A virtual keyboard's modifiers are the client's to say (1: Shift in
 * the keymap below). */
static void key(int code, int pressed, int shift)
{
    if (shift && pressed) {
        zwp_virtual_keyboard_v1_key(keyboard, now(), KEY_LEFTSHIFT, 1);
        zwp_virtual_keyboard_v1_modifiers(keyboard, 1, 0, 0, 0);
    }
    zwp_virtual_keyboard_v1_key(keyboard, now(), code, pressed);
    if (shift && !pressed) {
        zwp_virtual_keyboard_v1_key(keyboard, now(), KEY_LEFTSHIFT, 0);
        zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
    }
    rt();
}

/* The US layout from the system's keyboard data, handed over in a memory file. */
static int send_keymap(void)
{
    struct xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const struct xkb_rule_names names = { "evdev", "pc105", "us", "", "" };
    struct xkb_keymap *keymap = context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : NULL;
    char *text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : NULL;
    if (!text)
        return -1;
    const size_t size = strlen(text) + 1;
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, text, size) != (ssize_t)size)
        return -1;
    zwp_virtual_keyboard_v1_keymap(keyboard, XKB_KEYMAP_FORMAT_TEXT_V1, fd, (uint32_t)size);
    rt();
    close(fd);
    free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return 0;
}

int main(void)
{
    const char *size = getenv("SIZE");
    if (size)
        sscanf(size, "%ux%u", &width, &height);
    dpy = wl_display_connect(NULL);
    if (!dpy) { fprintf(stderr, "no wayland display\n"); return 1; }
    struct wl_registry *reg = wl_display_get_registry(dpy);
    wl_registry_add_listener(reg, &rl, NULL);
    rt();
    if (!pointers || !keyboards || !seat) { fprintf(stderr, "no virtual pointer or keyboard here\n"); return 1; }
    pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, seat);
    keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards, seat);
    if (send_keymap()) { fprintf(stderr, "no keymap\n"); return 1; }
    setvbuf(stdout, NULL, _IOLBF, 0);
    const struct input_backend backend = { to, rel, button, key };
    char line[512];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\n")] = 0;
        puts(input_command(&backend, line) ? "error" : "ok");
        if (wl_display_get_error(dpy)) { fprintf(stderr, "the desktop closed the connection\n"); return 1; }
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwp_virtual_keyboard_v1_destroy(keyboard);
    rt();
    wl_display_disconnect(dpy);
    return 0;
}
