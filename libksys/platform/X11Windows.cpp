// SPDX-License-Identifier: Apache-2.0
#include "platform/X11Windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/ProcessTable.h"

namespace ksys {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// One property value as the server returns it; freed with XFree.
class Property {
public:
    Property(Display* display, Window window, Atom name, Atom type) {
        Atom actualType = None;
        int format = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, name, 0, 1 << 16, False, type, &actualType, &format,
                               &m_count, &after, &data) == Success) {
            m_data = data;
            m_format = format;
        }
        if (!m_data) m_count = 0;
    }
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;
    ~Property() {
        if (m_data) XFree(m_data);
    }
    unsigned long count() const { return m_format == 32 ? m_count : 0; }
    // 32-bit items arrive as longs on the client side.
    unsigned long item(unsigned long index) const {
        return reinterpret_cast<const unsigned long*>(m_data)[index];
    }
    std::string text() const {
        return m_data && m_format == 8 ? std::string(reinterpret_cast<const char*>(m_data), m_count)
                                       : std::string();
    }

private:
    unsigned char* m_data = nullptr;
    unsigned long m_count = 0;
    int m_format = 0;
};

// WM_CLASS of one window; both strings are freed with XFree.
class ClassHint {
public:
    ClassHint(Display* display, Window window) {
        if (!XGetClassHint(display, window, &m_hint)) m_hint = XClassHint{nullptr, nullptr};
    }
    ClassHint(const ClassHint&) = delete;
    ClassHint& operator=(const ClassHint&) = delete;
    ~ClassHint() {
        if (m_hint.res_name) XFree(m_hint.res_name);
        if (m_hint.res_class) XFree(m_hint.res_class);
    }
    std::string instance() const { return m_hint.res_name ? m_hint.res_name : ""; }
    std::string className() const { return m_hint.res_class ? m_hint.res_class : ""; }

private:
    XClassHint m_hint{nullptr, nullptr};
};

Atom InternAtom(Display* display, const char* name) { return XInternAtom(display, name, False); }

long OwnerPid(Display* display, Window window) {
    const Property pid(display, window, InternAtom(display, "_NET_WM_PID"), XA_CARDINAL);
    return pid.count() > 0 ? static_cast<long>(pid.item(0)) : -1;
}

bool IsListed(Display* display, Window window) {
    const Property types(display, window, InternAtom(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM);
    const Atom desktop = InternAtom(display, "_NET_WM_WINDOW_TYPE_DESKTOP");
    const Atom dock = InternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK");
    for (unsigned long i = 0; i < types.count(); ++i)
        if (types.item(i) == desktop || types.item(i) == dock) return false;
    const Property states(display, window, InternAtom(display, "_NET_WM_STATE"), XA_ATOM);
    const Atom hidden = InternAtom(display, "_NET_WM_STATE_HIDDEN");
    for (unsigned long i = 0; i < states.count(); ++i)
        if (states.item(i) == hidden) return false;
    return true;
}

std::string TitleOf(Display* display, Window window) {
    const Property utf8(display, window, InternAtom(display, "_NET_WM_NAME"),
                        InternAtom(display, "UTF8_STRING"));
    if (!utf8.text().empty()) return utf8.text();
    const Property plain(display, window, XA_WM_NAME, AnyPropertyType);
    return plain.text();
}

}  // namespace

std::vector<KSysApplicationWindow> X11Windows::list() {
    std::vector<KSysApplicationWindow> windows;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return windows;
    const DisplayPtr display(XOpenDisplay(name));
    if (!display) return windows;
    Display* d = display.get();
    const Window root = DefaultRootWindow(d);
    const Property clients(d, root, InternAtom(d, "_NET_CLIENT_LIST"), XA_WINDOW);
    const Property active(d, root, InternAtom(d, "_NET_ACTIVE_WINDOW"), XA_WINDOW);
    const long activePid = active.count() > 0 && active.item(0) != None
                               ? OwnerPid(d, static_cast<Window>(active.item(0)))
                               : -1;
    for (unsigned long i = 0; i < clients.count(); ++i) {
        const Window window = static_cast<Window>(clients.item(i));
        if (!IsListed(d, window)) continue;
        KSysApplicationWindow entry;
        entry.title = TitleOf(d, window);
        const long pid = OwnerPid(d, window);
        entry.processName = ProcessTable::nameOf(static_cast<int>(pid));
        entry.isActive = pid > 0 && pid == activePid;
        const ClassHint hint(d, window);
        entry.localizedName = hint.instance();
        entry.className = hint.className();
        windows.push_back(std::move(entry));
    }
    return windows;
}

}  // namespace ksys
