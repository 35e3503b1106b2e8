/* The commands the end-to-end tests' input tools understand, whatever
 * desktop protocol carries them:
 *   "to X Y", "rel DX DY", "down B", "up B", "click B", "dclick B",
 *   "drag X1 Y1 X2 Y2", "key NAME", "type TEXT", "sleep S".
 * A tool fills in a backend (its protocol's requests) and hands each
 * command to input_command. */
#pragma once

struct input_backend {
    void (*to)(double x, double y);
    void (*rel)(double dx, double dy);         /* NULL: "rel" is refused */
    void (*button)(int code, int pressed);     /* evdev BTN_ code */
    void (*key)(int code, int pressed, int shift); /* evdev KEY_ code; shift held with it */
};

/* 0 done, 2 a command it does not know. */
int input_command(const struct input_backend *backend, const char *command);
/* Each argument in turn; stops at the first unknown one (2). */
int input_commands(const struct input_backend *backend, int count, char **commands);
void input_pause_ms(int ms);
