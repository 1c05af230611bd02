// The Xlib calls that the benchmarks watching a real X server make, loaded at run
// time so that only Xlib's headers are needed to build them.
#pragma once

#include <X11/Xlib.h>

#include <dlfcn.h>
#include <type_traits>

struct Xlib
{
    decltype(&XOpenDisplay) openDisplay;
    decltype(&XDefaultRootWindow) defaultRootWindow;
    decltype(&XSelectInput) selectInput;
    decltype(&XSync) sync;
    decltype(&XPending) pending;
    decltype(&XNextEvent) nextEvent;
    decltype(&XConnectionNumber) connectionNumber;
    decltype(&XInternAtom) internAtom;
    decltype(&XGetWindowProperty) getWindowProperty;
    decltype(&XGetGeometry) getGeometry;
    decltype(&XFree) free;
    decltype(&XSetErrorHandler) setErrorHandler;

    // Looks name up in library; false once any lookup has failed.
    template <class Fn> static bool get(void *library, Fn &fn, const char *name)
    {
        fn = library ? reinterpret_cast<Fn>(dlsym(library, name)) : nullptr;
        return fn != nullptr;
    }

    bool load()
    {
        void *lib = dlopen("libX11.so.6", RTLD_NOW);
        return get(lib, openDisplay, "XOpenDisplay") & get(lib, defaultRootWindow, "XDefaultRootWindow")
            & get(lib, selectInput, "XSelectInput") & get(lib, sync, "XSync") & get(lib, pending, "XPending")
            & get(lib, nextEvent, "XNextEvent") & get(lib, connectionNumber, "XConnectionNumber")
            & get(lib, internAtom, "XInternAtom") & get(lib, getWindowProperty, "XGetWindowProperty")
            & get(lib, getGeometry, "XGetGeometry") & get(lib, free, "XFree")
            & get(lib, setErrorHandler, "XSetErrorHandler");
    }
};
