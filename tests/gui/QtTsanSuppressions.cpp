// Linked into every GUI test program. The Qt libraries are not instrumented: they
// synchronise through futexes that ThreadSanitizer cannot see (Qt's painting hands
// large fills to its own thread pool), so what they do inside themselves is left
// out. The project's own code is instrumented and still checked.
// GLib, under Qt's event dispatcher of every thread, is not instrumented either: its
// allocator hands a block that one thread's main context freed to another thread, and
// the free in that thread looked like a race with the first thread's allocation.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libQt6Test.so.6\n";
}
#endif
