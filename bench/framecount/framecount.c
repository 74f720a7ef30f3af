/* framecount: how many different pictures a player shows a second, seen from outside: the
 * screen's centre pixel is read every 2 ms while a command runs, and its changes between two
 * moments are counted (play a clip whose every frame has another colour there).
 * build: cc -O2 -o framecount framecount.c -lX11
 * usage: framecount FROM_S TO_S CMD ARGS...   (DISPLAY set)
 * prints: "changes_per_s=<n>" over FROM_S..TO_S after the command's start; the command is
 * ended afterwards. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_s(void) { struct timespec t; clock_gettime(CLOCK_MONOTONIC, &t); return t.tv_sec + t.tv_nsec / 1e9; }

int main(int argc, char **argv) {
    if (argc < 4) return 2;
    double from = atof(argv[1]), to = atof(argv[2]);
    Display *d = XOpenDisplay(NULL);
    if (!d) return 2;
    Window root = DefaultRootWindow(d);
    int x = DisplayWidth(d, 0) / 2, y = DisplayHeight(d, 0) / 2;
    double t0 = now_s();
    pid_t pid = fork();
    if (pid == 0) { execvp(argv[3], argv + 3); _exit(127); }
    unsigned long last = 0;
    int changes = 0, first = 1;
    struct timespec pause = {0, 2000000};
    for (double t = 0; (t = now_s() - t0) < to;) {
        XImage *img = XGetImage(d, root, x, y, 1, 1, AllPlanes, ZPixmap);
        unsigned long pixel = img ? XGetPixel(img, 0, 0) : 0;
        if (img) XDestroyImage(img);
        if (t >= from) {
            if (!first && pixel != last) ++changes;
            first = 0;
        }
        last = pixel;
        nanosleep(&pause, NULL);
    }
    kill(pid, SIGTERM);
    waitpid(pid, NULL, 0);
    printf("changes_per_s=%.1f\n", changes / (to - from));
    return 0;
}
