// A program that owns the X11 primary selection (or, given "clipboard"
// first, the clipboard) and answers badly:
//   hostile_owner [clipboard] silent
//                               never answers a request for it
//   hostile_owner stall         starts an incremental (INCR) transfer and
//                               never sends a piece
//   hostile_owner huge <bytes>  offers a text of that many bytes (it begins
//                               "Huge selection start. " and goes on with
//                               "0123456789" repeated), sent incrementally in
//                               256 KB pieces for as long as it is asked
// Prints "owned" once the selection is its own, and "sent <bytes>" each
// time it has written 16 MB more (and at the end of a transfer). Ends when
// killed or when it loses the selection.
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : XCB_ATOM_NONE;
    std::free(reply);
    return a;
}

void notify(xcb_connection_t *c, const xcb_selection_request_event_t *request, xcb_atom_t property)
{
    xcb_selection_notify_event_t n{};
    n.response_type = XCB_SELECTION_NOTIFY;
    n.time = request->time;
    n.requestor = request->requestor;
    n.selection = request->selection;
    n.target = request->target;
    n.property = property;
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&n));
}

constexpr char Head[] = "Huge selection start. ";

// Bytes [from, from + length) of the huge text.
std::string piece(uint64_t from, uint64_t length)
{
    std::string out;
    out.reserve(length);
    const uint64_t head = sizeof Head - 1;
    for (uint64_t i = from; i < from + length; ++i)
        out += i < head ? Head[i] : char('0' + (i - head) % 10);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    const bool clipboard = argc > 1 && std::string(argv[1]) == "clipboard";
    if (clipboard) {
        --argc;
        ++argv;
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "silent" && mode != "stall" && !(mode == "huge" && argc > 2)) {
        std::fprintf(stderr, "usage: hostile_owner [clipboard] silent|stall|huge <bytes>\n");
        return 2;
    }
    const uint64_t size = mode == "huge" ? std::strtoull(argv[2], nullptr, 10) : 0;
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t incr = atom(c, "INCR");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    const xcb_atom_t targets = atom(c, "TARGETS");
    const xcb_atom_t selection = clipboard ? atom(c, "CLIPBOARD") : xcb_atom_t(XCB_ATOM_PRIMARY);
    xcb_set_selection_owner(c, window, selection, XCB_CURRENT_TIME);
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (!owner || owner->owner != window) {
        std::fprintf(stderr, "could not own the selection\n");
        return 1;
    }
    std::free(owner);
    std::printf("owned\n");
    std::fflush(stdout);

    // The one transfer under way: to whom, into which property, how far.
    xcb_window_t requestor = XCB_WINDOW_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
    xcb_atom_t type = XCB_ATOM_NONE;
    uint64_t sent = 0;
    uint64_t reported = 0;
    bool ended = false;
    constexpr uint64_t Piece = 256 * 1024;

    while (xcb_generic_event_t *event = xcb_wait_for_event(c)) {
        const int kind = event->response_type & 0x7F;
        if (kind == XCB_SELECTION_CLEAR) {
            std::printf("lost\n");
            std::fflush(stdout);
            std::free(event);
            break;
        }
        if (kind == XCB_SELECTION_REQUEST && mode != "silent") {
            const auto *request = reinterpret_cast<const xcb_selection_request_event_t *>(event);
            const xcb_atom_t into = request->property ? request->property : request->target;
            if (request->target == targets) {
                const xcb_atom_t offered[] = {targets, utf8, XCB_ATOM_STRING};
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, into, XCB_ATOM_ATOM, 32, 3,
                                    offered);
                notify(c, request, into);
            } else if (request->target == utf8 || request->target == XCB_ATOM_STRING) {
                // A length in an INCR property: the transfer's lower bound.
                const uint32_t length = uint32_t(std::min<uint64_t>(size, 0x7FFFFFFF));
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, into, incr, 32, 1, &length);
                const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, request->requestor, XCB_CW_EVENT_MASK, &events);
                notify(c, request, into);
                requestor = request->requestor;
                property = into;
                type = request->target;
                sent = 0;
                ended = false;
            } else {
                notify(c, request, XCB_ATOM_NONE);
            }
            xcb_flush(c);
        } else if (kind == XCB_PROPERTY_NOTIFY && mode == "huge") {
            // The requestor deleted the property: it wants the next piece.
            const auto *change = reinterpret_cast<const xcb_property_notify_event_t *>(event);
            if (change->window == requestor && change->atom == property && change->state == XCB_PROPERTY_DELETE
                && !ended) {
                const uint64_t length = std::min(Piece, size - sent);
                const std::string bytes = piece(sent, length);
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, type, 8, uint32_t(length),
                                    bytes.data());
                xcb_flush(c);
                sent += length;
                ended = length == 0;
                if (ended || sent - reported >= 16 * 1024 * 1024) {
                    reported = sent;
                    std::printf("sent %llu\n", static_cast<unsigned long long>(sent));
                    std::fflush(stdout);
                }
            }
        }
        std::free(event);
    }
    xcb_disconnect(c);
    return 0;
}
