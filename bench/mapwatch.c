/* Waits for the first top-level window to be mapped on $DISPLAY and prints the
 * wall-clock time it happened, as seconds. Prints "ready" once it is listening. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <xcb/xcb.h>

int main(void)
{
    xcb_connection_t *c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c))
        return 2;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    puts("ready");
    fflush(stdout);
    xcb_generic_event_t *e;
    while ((e = xcb_wait_for_event(c))) {
        const int type = e->response_type & 0x7f;
        free(e);
        if (type == XCB_MAP_NOTIFY) {
            struct timespec t;
            clock_gettime(CLOCK_REALTIME, &t);
            printf("%ld.%09ld\n", (long)t.tv_sec, t.tv_nsec);
            return 0;
        }
    }
    return 1;
}
