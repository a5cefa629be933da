#include "SingleInstance.h"

#ifdef VREL_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

#include <algorithm>
#include <memory>

namespace vrel {

#ifdef VREL_HAVE_X11

namespace {

// Memory Xlib hands out, released with XFree.
template <class T> using XPtr = std::unique_ptr<T, decltype(&XFree)>;

struct Property {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    XPtr<unsigned char> data{nullptr, XFree};
};

Property ReadProperty(Display* display, Window window, Atom name, Atom wanted, long length) {
    Property p;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, name, 0, length, False, wanted, &p.type, &p.format,
                           &p.count, &after, &data) == Success)
        p.data.reset(data);
    return p;
}

// _NET_WM_NAME (UTF-8) or WM_NAME of a window.
std::string TitleOf(Display* display, Window window) {
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Property netWmName =
        ReadProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 1024);
    if (netWmName.data && netWmName.type == utf8 && netWmName.count > 0)
        return std::string(reinterpret_cast<char*>(netWmName.data.get()), netWmName.count);
    char* name = nullptr; // stays null without a WM_NAME
    XFetchName(display, window, &name);
    const XPtr<char> owned(name, XFree);
    return name != nullptr ? name : "";
}

Window FindTitled(Display* display, Window parent, const std::string& title, int depth) {
    Window root = 0, parentOut = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &parentOut, &children, &count))
        return 0;
    const XPtr<Window> owned(children, XFree);
    for (unsigned int i = 0; i < count; ++i) {
        if (TitleOf(display, children[i]) == title)
            return children[i];
        if (const Window found = depth > 0 ? FindTitled(display, children[i], title, depth - 1) : 0)
            return found;
    }
    return 0;
}

bool Supports(Display* display, Atom hint) {
    const Property supported =
        ReadProperty(display, DefaultRootWindow(display),
                     XInternAtom(display, "_NET_SUPPORTED", False), XA_ATOM, 4096);
    const auto* atoms = reinterpret_cast<const Atom*>(supported.data.get());
    return atoms != nullptr && supported.format == 32 &&
           std::find(atoms, atoms + supported.count, hint) != atoms + supported.count;
}

void Activate(Display* display, Window window) {
    const Window root = DefaultRootWindow(display);
    const Atom activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    if (Supports(display, activeWindow)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = activeWindow;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // source: a pager, i.e. the user's own request
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XMapRaised(display, window);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
    }
    XFlush(display);
}

// A window may vanish before its activation: Xlib's default handler would end the process.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

} // namespace

bool ActivateRunningInstance(const std::string& title) {
    Display* display = XOpenDisplay(nullptr); // none without DISPLAY
    if (display == nullptr)
        return false;
    const auto previous = XSetErrorHandler(IgnoreXError);
    const Window window = FindTitled(display, DefaultRootWindow(display), title, 1);
    if (window != 0)
        Activate(display, window);
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return window != 0;
}

#else

bool ActivateRunningInstance(const std::string&) { return false; }

#endif

} // namespace vrel
