// integration/tsan_toolkit_suppressions.cpp: ThreadSanitizer suppressions for the programs that
// run a Qt, GLib or wxWidgets loop (the adapter and watcher tests and the examples); linked into
// them only in a ThreadSanitizer build, where the tool reads this hook at start-up beside
// TSAN_OPTIONS.
//
// Debian's Qt, GLib and wxWidgets are not built with ThreadSanitizer. Their locks are futexes
// inside their own code, which the tool does not see, but it does see the memory those libraries
// allocate, grow and free through the C allocator, whose entry points it intercepts everywhere.
// Two threads that reach one main context's internal arrays under GLib's own lock (a worker
// attaching a source, the loop's thread polling) then look like a race in g_realloc, and the
// same holds for Qt's posted-event list and wxWidgets' pending-event lists. "called_from_lib"
// makes the tool ignore the intercepted calls made from inside those libraries, and nothing
// else: every access made by this library's code, including to the calls handed through the
// toolkits (the adapters order that hand-off themselves), is still checked. The Widgets example
// brings QtGui, whose own threads (font loading, the platform plugin) allocate the same way.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libglib-2.0.so\n"
         "called_from_lib:libQt6Core.so\n"
         "called_from_lib:libQt6Gui.so\n"
         "called_from_lib:libwx_baseu-3.2.so\n";
}
