// integration/testing/glib_loop_testing.h: the GLib side of the loop tests (loop_testing.h):
// runs a GMainLoop until a condition holds.
#pragma once
#include <glib.h>

#include <functional>

namespace xr::testing {

// Runs g_main_loop_run() on `context` until done() holds (checked every millisecond) or time
// runs out.
struct GlibLoop {
  GMainContext* context = nullptr;  // null: the global default context

  bool runUntil(const std::function<bool()>& done, double seconds) {
    if (done()) return true;
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    struct Poll {
      const std::function<bool()>* done;
      GMainLoop* loop;
    } poll{&done, loop};
    GSource* check = g_timeout_source_new(1);
    g_source_set_callback(
        check,
        [](gpointer data) -> gboolean {
          auto* p = static_cast<Poll*>(data);
          if ((*p->done)()) g_main_loop_quit(p->loop);
          return G_SOURCE_CONTINUE;
        },
        &poll, nullptr);
    g_source_attach(check, context);
    GSource* limit = g_timeout_source_new(static_cast<guint>(seconds * 1000));
    g_source_set_callback(
        limit,
        [](gpointer data) -> gboolean {
          g_main_loop_quit(static_cast<GMainLoop*>(data));
          return G_SOURCE_REMOVE;
        },
        loop, nullptr);
    g_source_attach(limit, context);
    g_main_loop_run(loop);
    g_source_destroy(check);
    g_source_unref(check);
    g_source_destroy(limit);
    g_source_unref(limit);
    g_main_loop_unref(loop);
    return done();
  }
};

}  // namespace xr::testing
