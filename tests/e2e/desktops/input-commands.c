#include "input-commands.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>
#include <linux/input-event-codes.h>

void input_pause_ms(int ms) { usleep((useconds_t)ms * 1000); }

static int button_code(int b) { return b == 1 ? BTN_LEFT : b == 2 ? BTN_MIDDLE : BTN_RIGHT; }

static void press(const struct input_backend *in, int b, int pressed)
{
    in->button(button_code(b), pressed);
    input_pause_ms(50);
}

static void motion(const struct input_backend *in, double x, double y)
{
    in->to(x, y);
    input_pause_ms(40);
}

/* -1 when the name is no key of the US layout this knows. */
static int keycode(const char *n, int *shift)
{
    static const char *row = "1234567890";
    static const int rowc[] = {KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9, KEY_0};
    static const int alpha[] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K,
                                KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V,
                                KEY_W, KEY_X, KEY_Y, KEY_Z};
    *shift = 0;
    if (!strcmp(n, "Escape")) return KEY_ESC;
    if (!strcmp(n, "Return")) return KEY_ENTER;
    if (!strcmp(n, "BackSpace")) return KEY_BACKSPACE;
    if (!strcmp(n, "Up")) return KEY_UP;
    if (!strcmp(n, "Down")) return KEY_DOWN;
    if (!strcmp(n, "Tab")) return KEY_TAB;
    if (!strcmp(n, "space") || !strcmp(n, " ")) return KEY_SPACE;
    if (strlen(n) == 1) {
        char c = n[0];
        if (c >= 'a' && c <= 'z') return alpha[c - 'a'];
        if (c >= 'A' && c <= 'Z') { *shift = 1; return alpha[c - 'A']; }
        const char *p = strchr(row, c);
        if (p) return rowc[p - row];
        if (c == '-') return KEY_MINUS;
        if (c == '.') return KEY_DOT;
        if (c == '\'') return KEY_APOSTROPHE;
    }
    return -1;
}

static int key(const struct input_backend *in, const char *name)
{
    int shift;
    const int k = keycode(name, &shift);
    if (k < 0) {
        fprintf(stderr, "unknown key %s\n", name);
        return 2;
    }
    in->key(k, 1, shift);
    in->key(k, 0, shift);
    input_pause_ms(40);
    return 0;
}

int input_command(const struct input_backend *in, const char *command)
{
    char name[32];
    double a, b, x2, y2;
    if (sscanf(command, "to %lf %lf", &a, &b) == 2) motion(in, a, b);
    else if (in->rel && sscanf(command, "rel %lf %lf", &a, &b) == 2) { in->rel(a, b); input_pause_ms(30); }
    else if (sscanf(command, "down %lf", &a) == 1) press(in, (int)a, 1);
    else if (sscanf(command, "up %lf", &a) == 1) press(in, (int)a, 0);
    else if (sscanf(command, "click %lf", &a) == 1) { press(in, (int)a, 1); press(in, (int)a, 0); }
    else if (sscanf(command, "dclick %lf", &a) == 1) {
        press(in, (int)a, 1); press(in, (int)a, 0);
        input_pause_ms(30);
        press(in, (int)a, 1); press(in, (int)a, 0);
    } else if (sscanf(command, "drag %lf %lf %lf %lf", &a, &b, &x2, &y2) == 4) {
        motion(in, a, b);
        press(in, 1, 1);
        for (int k = 1; k <= 20; k++)
            motion(in, a + (x2 - a) * k / 20, b + (y2 - b) * k / 20);
        input_pause_ms(200);
        press(in, 1, 0);
    } else if (!strncmp(command, "key ", 4) && sscanf(command + 4, "%31s", name) == 1) return key(in, name);
    else if (!strncmp(command, "type ", 5)) {
        for (const char *p = command + 5; *p; p++) {
            const char s[2] = {*p, 0};
            if (key(in, s)) return 2;
        }
    } else if (sscanf(command, "sleep %lf", &a) == 1) usleep((useconds_t)(a * 1e6));
    else {
        fprintf(stderr, "unknown command %s\n", command);
        return 2;
    }
    return 0;
}

int input_commands(const struct input_backend *in, int count, char **commands)
{
    for (int i = 0; i < count; i++) {
        const int rc = input_command(in, commands[i]);
        if (rc)
            return rc;
    }
    return 0;
}
