# Build additions of the ui layer (included inside torvane_layer(ui ...)).

# GLib's full Unicode case mapping turns section labels into capitals (GLib comes with cairo).
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0)
target_link_libraries(torvane_ui PRIVATE PkgConfig::GLIB)
