/* Presses keys in a KWin session through org_kde_kwin_fake_input, as a
 * user would: the Wayland tests' keyboard.
 *   fake_input TOKEN...   tap:29+46 (Ctrl+C: evdev codes pressed in order,
 *                         released in reverse), sleep:MS
 * Prints "down CODE MS" for each key pressed: the wall clock in
 * milliseconds once the compositor has the key, for latency benchmarks.
 * KWin offers the protocol only to trusted clients (a desktop file naming
 * this binary, or KWIN_WAYLAND_NO_PERMISSION_CHECKS=1). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <wayland-client.h>

#include "fake-input-client-protocol.h"

static struct org_kde_kwin_fake_input* fake;

static void Global(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4) {
        fake = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4);
    }
}

static void GlobalRemove(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener kListener = {Global, GlobalRemove};

static double NowMs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static void Pause(int ms)
{
    struct timespec t = {ms / 1000, (long)(ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

int main(int argc, char* argv[])
{
    struct wl_display* display = wl_display_connect(NULL);
    if (display == NULL) {
        fprintf(stderr, "fake_input: no Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kListener, NULL);
    wl_display_roundtrip(display);
    if (fake == NULL) {
        fprintf(stderr, "fake_input: the compositor offers no org_kde_kwin_fake_input v4 to this client\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fake, "fake_input", "end-to-end tests");
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "sleep:", 6) == 0) {
            Pause(atoi(argv[i] + 6));
            continue;
        }
        if (strncmp(argv[i], "tap:", 4) != 0) {
            fprintf(stderr, "fake_input: unknown token %s\n", argv[i]);
            return 2;
        }
        unsigned keys[8];
        int n = 0;
        for (char* p = argv[i] + 4; *p != '\0' && n < 8;) {
            keys[n++] = (unsigned)strtoul(p, &p, 10);
            if (*p == '+') {
                ++p;
            }
        }
        for (int k = 0; k < n; ++k) {
            const double sent = NowMs();
            org_kde_kwin_fake_input_keyboard_key(fake, keys[k], WL_KEYBOARD_KEY_STATE_PRESSED);
            wl_display_flush(display);
            printf("down %u %.1f\n", keys[k], sent);
            fflush(stdout);
            wl_display_roundtrip(display);
            Pause(20);
        }
        for (int k = n - 1; k >= 0; --k) {
            org_kde_kwin_fake_input_keyboard_key(fake, keys[k], WL_KEYBOARD_KEY_STATE_RELEASED);
            wl_display_roundtrip(display);
        }
    }
    wl_display_roundtrip(display);
    org_kde_kwin_fake_input_destroy(fake);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
