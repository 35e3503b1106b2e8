#include "X11Selection.h"

#include <QDeadlineTimer>

#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <poll.h>

namespace kestrova {

namespace {

struct Free {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, Free>;

struct Disconnect {
    void operator()(xcb_connection_t *c) const { xcb_disconnect(c); }
};

class Exchange {
public:
    Exchange(xcb_connection_t *c, QDeadlineTimer deadline, int cancelFd)
        : m_c(c), m_deadline(deadline), m_cancelFd(cancelFd)
    {
    }

    // The next event of the connection; null once the deadline has passed,
    // the wait was cancelled or the connection failed.
    Reply<xcb_generic_event_t> nextEvent()
    {
        for (;;) {
            if (xcb_generic_event_t *event = xcb_poll_for_event(m_c))
                return Reply<xcb_generic_event_t>(event);
            if (xcb_connection_has_error(m_c))
                return nullptr;
            const qint64 left = m_deadline.remainingTime();
            if (left <= 0)
                return nullptr;
            pollfd fds[2] = {{xcb_get_file_descriptor(m_c), POLLIN, 0}, {m_cancelFd, POLLIN, 0}};
            const int ready = poll(fds, m_cancelFd >= 0 ? 2 : 1, int(left) + 1);
            if (ready < 0 && errno != EINTR)
                return nullptr;
            if (m_cancelFd >= 0 && fds[1].revents)
                return nullptr;
        }
    }

private:
    xcb_connection_t *m_c;
    QDeadlineTimer m_deadline;
    int m_cancelFd;
};

xcb_intern_atom_cookie_t askAtom(xcb_connection_t *c, const char *name)
{
    return xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
}

xcb_atom_t atomOf(xcb_connection_t *c, xcb_intern_atom_cookie_t cookie)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Leaves out a UTF-8 sequence that the cut at the end left incomplete.
void dropIncompleteTail(QByteArray &bytes)
{
    qsizetype start = bytes.size();
    int continuation = 0;
    while (start > 0 && continuation < 3 && (uchar(bytes.at(start - 1)) & 0xC0) == 0x80) {
        --start;
        ++continuation;
    }
    if (start == 0)
        return;
    const uchar lead = uchar(bytes.at(start - 1));
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length > continuation + 1)
        bytes.truncate(start - 1);
}

uint32_t longsFor(qsizetype bytes)
{
    return uint32_t((bytes + 3) / 4);
}

} // namespace

SelectionText readX11Selection(const QByteArray &display, const QByteArray &selection,
                               const SelectionLimits &limits, int cancelFd)
{
    SelectionText result;
    result.outcome = SelectionText::Unreadable;
    const qsizetype maxBytes = qMax(1, limits.maxBytes);

    int screenNumber = 0;
    const std::unique_ptr<xcb_connection_t, Disconnect> connection(
        xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber));
    xcb_connection_t *c = connection.get();
    if (xcb_connection_has_error(c))
        return result;
    Exchange exchange(c, QDeadlineTimer(limits.deadline, Qt::PreciseTimer), cancelFd);

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
        xcb_screen_next(&screens);
    if (!screens.data)
        return result;

    const auto selectionCookie = askAtom(c, selection.constData());
    const auto utf8Cookie = askAtom(c, "UTF8_STRING");
    const auto incrCookie = askAtom(c, "INCR");
    const auto propertyCookie = askAtom(c, "KESTROVA_SELECTION");
    const xcb_atom_t selectionAtom = atomOf(c, selectionCookie);
    const xcb_atom_t utf8 = atomOf(c, utf8Cookie);
    const xcb_atom_t incr = atomOf(c, incrCookie);
    const xcb_atom_t property = atomOf(c, propertyCookie);
    if (!selectionAtom || !utf8 || !incr || !property)
        return result;

    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selectionAtom), nullptr));
    if (!owner)
        return result;
    if (owner->owner == XCB_WINDOW_NONE) {
        result.outcome = SelectionText::Nothing;
        return result;
    }

    // The owner writes the text into a property of a window of ours and
    // tells us with SelectionNotify; with INCR, in pieces, one each time we
    // delete the property.
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);

    for (const xcb_atom_t target : {utf8, xcb_atom_t(XCB_ATOM_STRING)}) {
        xcb_delete_property(c, window, property);
        xcb_convert_selection(c, window, selectionAtom, target, property, XCB_CURRENT_TIME);
        xcb_flush(c);

        xcb_atom_t answered = XCB_ATOM_NONE;
        for (;;) {
            const Reply<xcb_generic_event_t> event = exchange.nextEvent();
            if (!event)
                return result;
            if ((event->response_type & 0x7F) != XCB_SELECTION_NOTIFY)
                continue;
            const auto *notify = reinterpret_cast<const xcb_selection_notify_event_t *>(event.get());
            if (notify->requestor != window || notify->selection != selectionAtom)
                continue;
            answered = notify->property;
            break;
        }
        if (answered == XCB_ATOM_NONE)
            continue; // not in this form; the next one

        const Reply<xcb_get_property_reply_t> first(xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, longsFor(maxBytes)),
            nullptr));
        if (!first)
            return result;
        QByteArray bytes;
        xcb_atom_t type = first->type;
        int format = first->format;
        bool cut = false;
        if (first->type == incr) {
            // Read piece by piece until the end or until enough is read;
            // then the owner is left to give up on its own.
            xcb_delete_property(c, window, property);
            xcb_flush(c);
            for (;;) {
                const Reply<xcb_generic_event_t> event = exchange.nextEvent();
                if (!event) {
                    if (bytes.isEmpty())
                        return result;
                    cut = true;
                    break;
                }
                if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
                    continue;
                const auto *change = reinterpret_cast<const xcb_property_notify_event_t *>(event.get());
                if (change->window != window || change->atom != property
                    || change->state != XCB_PROPERTY_NEW_VALUE)
                    continue;
                const Reply<xcb_get_property_reply_t> piece(xcb_get_property_reply(
                    c,
                    xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                     longsFor(maxBytes - bytes.size())),
                    nullptr));
                if (!piece)
                    return result;
                const int length = xcb_get_property_value_length(piece.get());
                if (length == 0)
                    break; // the end of the transfer
                type = piece->type;
                format = piece->format;
                bytes.append(static_cast<const char *>(xcb_get_property_value(piece.get())), length);
                if (piece->bytes_after > 0 || bytes.size() >= maxBytes) {
                    cut = true;
                    break;
                }
                xcb_delete_property(c, window, property);
                xcb_flush(c);
            }
        } else {
            bytes = QByteArray(static_cast<const char *>(xcb_get_property_value(first.get())),
                               xcb_get_property_value_length(first.get()));
            cut = first->bytes_after > 0;
            xcb_delete_property(c, window, property);
            xcb_flush(c);
        }
        if (format != 8) {
            result.outcome = SelectionText::Nothing;
            return result;
        }
        if (bytes.size() > maxBytes) {
            bytes.truncate(maxBytes);
            cut = true;
        }
        result.outcome = SelectionText::Read;
        result.cut = cut;
        if (type == XCB_ATOM_STRING) {
            result.text = QString::fromLatin1(bytes);
        } else {
            if (cut)
                dropIncompleteTail(bytes);
            result.text = QString::fromUtf8(bytes);
        }
        return result;
    }
    // The owner has the selection in no form of text.
    result.outcome = SelectionText::Nothing;
    return result;
}

} // namespace kestrova
